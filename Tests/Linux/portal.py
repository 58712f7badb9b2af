#!/usr/bin/python3
"""Plays the freedesktop portal's Settings interface for the appearance key
only: org.freedesktop.appearance color-scheme, starting at argv[1].

The value is a uint32 (0, 1 or 2, as the portal documents it), or TYPE:TEXT
to answer with another D-Bus type or value, as a misbehaving portal might:
i:-1 (an int32), u:7 (out of range), s:dark (a string). Or it is "gnome":
the value is GNOME's own setting, read afresh for each Read and announced
when it changes, as xdg-desktop-portal-gtk and -gnome do.

  --old        no ReadOne, as portals before 1.17.1
  --error      every read fails with org.freedesktop.DBus.Error.Failed
  --silent     every read is left unanswered
  --error-after S
               every read fails as with --error, S seconds late
  --lag S      each SettingChanged goes out S seconds late, or with
               "--lag hold" only when org.dusk.Test.Release is called
               (which answers how many it sent)

Each read prints "read <method>" on standard output once it is answered (or
refused, or left), and each SettingChanged "announced <value>". The test
changes the value through org.dusk.Test.SetColorScheme (a uint32) or
org.dusk.Test.Announce (TYPE:TEXT), which emit SettingChanged as the portal
would.

Imported, it offers the tests their control over which portal a session's
bus starts (no_portal, real_portals)."""

import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

SETTINGS = "org.freedesktop.portal.Settings"
NAMESPACE, KEY = "org.freedesktop.appearance", "color-scheme"
TYPES = {"u": dbus.UInt32, "i": dbus.Int32, "s": dbus.String}
GNOME_SCHEMES = {"default": "0", "prefer-dark": "1", "prefer-light": "2"}
PORTAL_NAME = "org.freedesktop.portal.Desktop"


def say(text):
    # A test that has stopped listening must not break the portal.
    try:
        print(text, flush=True)
    except (BrokenPipeError, ValueError):
        pass


def typed(text, variant_level=0):
    kind, _, value = text.rpartition(":")
    kind = kind or "u"
    return TYPES[kind](value if kind == "s" else int(value), variant_level=variant_level)


class Settings(dbus.service.Object):
    def __init__(self, bus, value, answer, lag):
        super().__init__(bus, "/org/freedesktop/portal/desktop")
        self.value = value
        self.answer = answer
        self.lag = lag
        self.held = []
        self.unanswered = []  # kept, so that the caller waits for good
        if value == "gnome":
            from gi.repository import Gio
            self.gnome = Gio.Settings.new("org.gnome.desktop.interface")
            self.gnome.connect("changed::color-scheme", lambda *_: self.Announce(self.current()))
            self.current()  # some backends only announce keys that were read

    def current(self):
        if self.value != "gnome":
            return self.value
        return GNOME_SCHEMES.get(self.gnome.get_string("color-scheme"), "0")

    def reply(self, method, namespace, key, variant_level, ok, error):
        if (namespace, key) != (NAMESPACE, KEY):
            error(dbus.DBusException("Requested setting not found", name="org.freedesktop.portal.Error.NotFound"))
        elif self.answer == "silent":
            self.unanswered.append((ok, error))
        elif self.answer == "error":
            error(dbus.DBusException("The backend went away", name="org.freedesktop.DBus.Error.Failed"))
        elif self.answer.startswith("error after "):
            fail = dbus.DBusException("The backend went away", name="org.freedesktop.DBus.Error.Failed")
            GLib.timeout_add(int(float(self.answer.split()[-1]) * 1000), lambda: error(fail) and False)
        else:
            ok(typed(self.current(), variant_level))
        say(f"read {method}")

    @dbus.service.method(SETTINGS, in_signature="ss", out_signature="v", async_callbacks=("ok", "error"))
    def Read(self, namespace, key, ok, error):
        # The old Read wraps the value in one more variant.
        self.reply("Read", namespace, key, 1, ok, error)

    @dbus.service.signal(SETTINGS, signature="ssv")
    def SettingChanged(self, namespace, key, value):
        pass

    def emit(self, value):
        self.SettingChanged(NAMESPACE, KEY, typed(value, variant_level=1))
        say(f"announced {value}")
        return GLib.SOURCE_REMOVE

    @dbus.service.method("org.dusk.Test", in_signature="u", out_signature="")
    def SetColorScheme(self, value):
        self.Announce(str(int(value)))

    @dbus.service.method("org.dusk.Test", in_signature="s", out_signature="")
    def Announce(self, value):
        if self.value != "gnome":
            self.value = value
        if self.lag == "hold":
            self.held.append(value)
        elif self.lag:
            GLib.timeout_add(int(float(self.lag) * 1000), self.emit, value)
        else:
            self.emit(value)

    @dbus.service.method("org.dusk.Test", in_signature="", out_signature="u")
    def Release(self):
        held, self.held = self.held, []
        for value in held:
            self.emit(value)
        return len(held)


class NewSettings(Settings):
    @dbus.service.method(SETTINGS, in_signature="ss", out_signature="v", async_callbacks=("ok", "error"))
    def ReadOne(self, namespace, key, ok, error):
        self.reply("ReadOne", namespace, key, 0, ok, error)


def no_portal(session):
    """No portal answers in this session unless a test starts one, as when
    the session began."""
    session.activatable(PORTAL_NAME, "/bin/false")


REAL_PORTALS = "/usr/share/xdg-desktop-portal/portals"


def real_portals(session, backend):
    """Debian's xdg-desktop-portal with one backend (gtk, gnome, kde) where
    it is installed; answers whether it is."""
    if not os.path.isfile(os.path.join(REAL_PORTALS, backend + ".portal")):
        return False
    chosen = os.path.join(session.root, "portals-" + backend)
    os.makedirs(chosen, exist_ok=True)
    if not os.path.exists(os.path.join(chosen, backend + ".portal")):
        os.symlink(os.path.join(REAL_PORTALS, backend + ".portal"), os.path.join(chosen, backend + ".portal"))
    session.activatable(PORTAL_NAME, f"/usr/bin/env XDG_DESKTOP_PORTAL_DIR={chosen} /usr/libexec/xdg-desktop-portal")
    return True


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    kind = Settings if "--old" in sys.argv else NewSettings
    answer = "error" if "--error" in sys.argv else "silent" if "--silent" in sys.argv else "value"
    if "--error-after" in sys.argv:
        answer = "error after " + sys.argv[sys.argv.index("--error-after") + 1]
    lag = sys.argv[sys.argv.index("--lag") + 1] if "--lag" in sys.argv else None
    settings = kind(bus, sys.argv[1], answer, lag)
    name = dbus.service.BusName(PORTAL_NAME, bus, do_not_queue=True)
    say("ready")
    try:
        GLib.MainLoop().run()
    finally:
        del name, settings


if __name__ == "__main__":
    sys.exit(main())
