#!/usr/bin/python3
"""Plays the desktop's GlobalShortcuts portal (org.freedesktop.portal.GlobalShortcuts,
version 2) and the host registry (org.freedesktop.host.portal.Registry) on the
session bus, written from their published interface descriptions, because
Debian's xdg-desktop-portal 1.16 has neither a GlobalShortcuts backend nor the
registry.

It keeps to the interface as a client meets it: every call whose answer is a
Request returns the Request's object path at once
(/org/freedesktop/portal/desktop/request/SENDER/TOKEN, TOKEN from the caller's
handle_token) and answers later with its Response signal; sessions live at
/org/freedesktop/portal/desktop/session/SENDER/TOKEN with Close and Closed;
a session binds once. Argument signatures are checked by dbus-python itself
(a call of the wrong signature gets an error); the rules it cannot check
(a token that is no object path element, a session of another caller, a
second bind, Register after another portal call) are answered with an error
and printed as "violation ...".

The desktop's side is driven over org.dusk.Test on the same object: how the
next bind is answered (bind the preferred trigger, bind other keys, bind
nothing, refuse, cancel), Activated and Deactivated for a shortcut, a change
of trigger (ShortcutsChanged), sessions the desktop ends itself (Closed), and
silence: a method made silent is not answered, as by a portal that hangs
(Register and Close get no reply; CreateSession and BindShortcuts return their
Request, which does not respond), until the test lets it speak. Each event is
printed as one line.
"""

import re
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
REGISTRY = "org.freedesktop.host.portal.Registry"
REQUEST = "org.freedesktop.portal.Request"
SESSION = "org.freedesktop.portal.Session"
TEST = "org.dusk.Test"
TOKEN = re.compile(r"^[A-Za-z0-9_]+$")

# How a desktop shows a trigger: its own spelling of the modifiers.
SHOWN = {"CTRL": "Ctrl", "ALT": "Alt", "SHIFT": "Shift", "LOGO": "Super", "NUM": "Num"}


def say(*words):
    print(*words, flush=True)


def shown(trigger):
    """'CTRL+ALT+LOGO+d' as a desktop shows it: 'Ctrl+Alt+Super+D'."""
    *modifiers, key = trigger.split("+")
    return "+".join([SHOWN.get(m, m) for m in modifiers] + [key.upper() if len(key) == 1 else key])


def sender_part(sender):
    return sender[1:].replace(".", "_")


class Fault(dbus.DBusException):
    _dbus_error_name = "org.freedesktop.portal.Error.InvalidArgument"


class Request(dbus.service.Object):
    def __init__(self, bus, path):
        super().__init__(bus, path)
        self.closed = False

    @dbus.service.method(REQUEST, in_signature="", out_signature="")
    def Close(self):
        self.closed = True
        self.remove_from_connection()

    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, response, results):
        pass


class Session(dbus.service.Object):
    def __init__(self, portal, path, owner):
        super().__init__(portal.connection, path)
        self.portal, self.path, self.owner = portal, path, owner
        self.shortcuts = {}  # id -> shown trigger, or None
        self.descriptions = {}
        self.bound = False

    @dbus.service.method(SESSION, in_signature="", out_signature="", async_callbacks=("reply", "error"))
    def Close(self, reply, error):
        say("close", self.path)

        def answer():
            self.end()
            reply()
        self.portal.unless_silent("Close", answer)

    @dbus.service.signal(SESSION, signature="a{sv}")
    def Closed(self, details):
        pass

    def end(self):
        self.portal.sessions.pop(self.path, None)
        self.remove_from_connection()


class Portal(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.sessions = {}
        self.called = set()  # senders that made a portal call
        self.registered = {}  # sender -> app id
        self.next_answer = "bind"
        self.other_keys = None
        self.silent = set()
        self.held = []  # (method, answer) of the calls a silent method got

    # --- the rules the signatures cannot check ---------------------------------

    def violation(self, text):
        say("violation", text)
        raise Fault(text)

    def request(self, sender, options):
        token = str(options.get("handle_token", ""))
        if not TOKEN.match(token):
            self.violation(f"handle_token {token!r} is no object path element")
        return Request(self.connection, f"{PATH}/request/{sender_part(sender)}/{token}")

    def session_of(self, sender, handle):
        session = self.sessions.get(str(handle))
        if session is None or session.owner != sender:
            self.violation(f"{handle} is no session of {sender}")
        return session

    def unless_silent(self, method, answer):
        if method in self.silent:
            self.held.append((method, answer))
        else:
            answer()

    def answer(self, request, response, results):
        # After the method has returned, as a real portal answers.
        def send():
            if not request.closed:
                request.Response(dbus.UInt32(response), dbus.Dictionary(results, signature="sv"))
                request.remove_from_connection()
            return False
        GLib.idle_add(send)

    @staticmethod
    def listed(session):
        entries = []
        for shortcut_id, trigger in session.shortcuts.items():
            info = {"description": dbus.String(session.descriptions[shortcut_id])}
            if trigger is not None:
                info["trigger_description"] = dbus.String(trigger)
            entries.append(dbus.Struct((shortcut_id, dbus.Dictionary(info, signature="sv")), signature="sa{sv}"))
        return dbus.Array(entries, signature="(sa{sv})")

    # --- org.freedesktop.host.portal.Registry ------------------------------------

    @dbus.service.method(REGISTRY, in_signature="sa{sv}", out_signature="", sender_keyword="sender",
                         async_callbacks=("reply", "error"))
    def Register(self, app_id, options, sender, reply, error):
        if sender in self.registered:
            self.violation(f"{sender} registered twice")
        if sender in self.called:
            self.violation(f"{sender} registered after a portal call")
        self.registered[sender] = str(app_id)
        say("register", app_id)
        self.unless_silent("Register", reply)

    # --- org.freedesktop.portal.GlobalShortcuts ------------------------------------

    @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender):
        self.called.add(sender)
        request = self.request(sender, options)
        token = str(options.get("session_handle_token", ""))
        if not TOKEN.match(token):
            self.violation(f"session_handle_token {token!r} is no object path element")
        path = f"{PATH}/session/{sender_part(sender)}/{token}"
        if path in self.sessions:
            self.violation(f"{path} is still open")
        say("session", path, self.registered.get(sender, "-"))

        def answer():
            self.sessions[path] = Session(self, path, sender)
            # The handle is an object path sent as a string, as the interface says.
            self.answer(request, 0, {"session_handle": dbus.String(path)})
        self.unless_silent("CreateSession", answer)
        return request.__dbus_object_path__

    @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o", sender_keyword="sender")
    def BindShortcuts(self, session_handle, shortcuts, parent_window, options, sender):
        self.called.add(sender)
        request = self.request(sender, options)
        session = self.session_of(sender, session_handle)
        if session.bound:
            self.violation(f"{session_handle} bound twice")
        session.bound = True
        for shortcut_id, info in shortcuts:
            say("bind", str(shortcut_id), str(info.get("preferred_trigger", "")), "|",
                str(info.get("description", "")))

        def answer():
            for shortcut_id, info in shortcuts:
                preferred = str(info.get("preferred_trigger", ""))
                session.descriptions[str(shortcut_id)] = str(info.get("description", ""))
                if self.next_answer == "bind":
                    session.shortcuts[str(shortcut_id)] = shown(preferred) if preferred else None
                elif self.next_answer == "other":
                    session.shortcuts[str(shortcut_id)] = self.other_keys
                else:
                    session.shortcuts[str(shortcut_id)] = None
            response = {"refuse": 2, "cancel": 1}.get(self.next_answer, 0)
            self.answer(request, response, {"shortcuts": self.listed(session)} if response == 0 else {})
        self.unless_silent("BindShortcuts", answer)
        return request.__dbus_object_path__

    @dbus.service.method(SHORTCUTS, in_signature="oa{sv}", out_signature="o", sender_keyword="sender")
    def ListShortcuts(self, session_handle, options, sender):
        self.called.add(sender)
        request = self.request(sender, options)
        self.answer(request, 0, {"shortcuts": self.listed(self.session_of(sender, session_handle))})
        return request.__dbus_object_path__

    @dbus.service.method(SHORTCUTS, in_signature="osa{sv}", out_signature="", sender_keyword="sender")
    def ConfigureShortcuts(self, session_handle, parent_window, options, sender):
        self.called.add(sender)
        self.session_of(sender, session_handle)
        say("configure", session_handle)

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Deactivated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature="oa(sa{sv})")
    def ShortcutsChanged(self, session_handle, shortcuts):
        pass

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if (interface, name) == (SHORTCUTS, "version"):
            return dbus.UInt32(2)
        if (interface, name) == (REGISTRY, "version"):
            return dbus.UInt32(1)
        raise dbus.DBusException(f"no property {interface}.{name}",
                                 name="org.freedesktop.DBus.Error.UnknownProperty")

    # --- the desktop's side, for the test ----------------------------------------------

    def holding(self, shortcut_id):
        return [s for s in self.sessions.values() if s.shortcuts.get(shortcut_id) is not None]

    @dbus.service.method(TEST, in_signature="ss", out_signature="")
    def AnswerBindsWith(self, answer, other_keys):
        self.next_answer, self.other_keys = str(answer), str(other_keys) or None

    @dbus.service.method(TEST, in_signature="s", out_signature="")
    def Silence(self, method):
        """From now on `method` is not answered."""
        self.silent.add(str(method))

    @dbus.service.method(TEST, in_signature="s", out_signature="u")
    def Speak(self, method):
        """`method` is answered again, its held calls first; answers how
        many were held."""
        self.silent.discard(str(method))
        held = [answer for name, answer in self.held if name == method]
        self.held = [(name, answer) for name, answer in self.held if name != method]
        for answer in held:
            answer()
        return len(held)

    @dbus.service.method(TEST, in_signature="s", out_signature="u")
    def Press(self, shortcut_id):
        """Activated for every session that binds the shortcut to keys;
        answers how many there were."""
        sessions = self.holding(str(shortcut_id))
        for session in sessions:
            stamp = dbus.UInt64(GLib.get_monotonic_time() // 1000)
            self.Activated(session.path, shortcut_id, stamp, dbus.Dictionary({}, signature="sv"))
        return len(sessions)

    @dbus.service.method(TEST, in_signature="s", out_signature="u")
    def Release(self, shortcut_id):
        sessions = self.holding(str(shortcut_id))
        for session in sessions:
            stamp = dbus.UInt64(GLib.get_monotonic_time() // 1000)
            self.Deactivated(session.path, shortcut_id, stamp, dbus.Dictionary({}, signature="sv"))
        return len(sessions)

    @dbus.service.method(TEST, in_signature="ss", out_signature="u")
    def ChangeTrigger(self, shortcut_id, shown_trigger):
        """The user changes (or, with "", removes) the keys in the desktop's
        settings: ShortcutsChanged for every session with the shortcut."""
        changed = [s for s in self.sessions.values() if str(shortcut_id) in s.shortcuts]
        for session in changed:
            session.shortcuts[str(shortcut_id)] = str(shown_trigger) or None
            self.ShortcutsChanged(session.path, self.listed(session))
        say("changed", shortcut_id, shown_trigger or "-", len(changed))
        return len(changed)

    @dbus.service.method(TEST, in_signature="", out_signature="u")
    def EndSessions(self):
        """The desktop ends every session itself, with Closed; answers how
        many there were."""
        ended = list(self.sessions.values())
        for session in ended:
            session.Closed(dbus.Dictionary({}, signature="sv"))
            session.end()
        say("ended", len(ended))
        return len(ended)

    @dbus.service.method(TEST, in_signature="", out_signature="u")
    def OpenSessions(self):
        return len(self.sessions)


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    portal = Portal(bus)
    name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus, do_not_queue=True)
    say("ready")
    try:
        GLib.MainLoop().run()
    finally:
        del name, portal


if __name__ == "__main__":
    sys.exit(main())
