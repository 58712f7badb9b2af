#!/usr/bin/python3
"""Dusk in a Wayland session: Debian's weston as the compositor (its headless
backend; where keys must be typed into Dusk's own window, its X11 backend on
an Xvfb screen, which carries XTEST keys into the compositor), Dusk on Qt's
wayland platform with no X display, its tray item on tray_host.py.

The global shortcut goes through shortcuts_portal.py, a GlobalShortcuts
portal written from the published interface, which plays the desktop's side
as each test directs: answers, refusals, other keys, keys changed later, and
silence, which no real portal does on demand. Without that peer no portal
answers (session.py); Plasma's real one is in test_real_desktops.py.

DUSK_EXECUTABLE names the built program."""

import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import dbus

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import HERE, PYTHON, Session, SessionTestCase, wait_until  # noqa: E402

DUSK = os.environ.get("DUSK_EXECUTABLE", "")
SHORTCUT = "toggle-appearance"
TOGGLED = "toggle requested"
# The words for a shortcut another application holds, which a silent desktop does not earn.
TAKEN = "Another app may already be using that shortcut"
# The core's line for the outcome of a bind through the portal.
PORTAL_BIND = re.compile(r"BindShortcuts \S+ code=\d+ mods=\d+ status=-?\d+")


class WaylandSession(Session):
    """A session whose display server is weston; with `keyboard`, weston draws
    into an Xvfb window, so XTEST keys reach its focused Wayland client."""

    keyboard = False

    def _start_x(self):
        argv = ["weston", "--socket=dusk-0", "--idle-time=0", "--no-config"]
        if self.keyboard:
            super()._start_x()
            argv += ["--backend=x11-backend.so", "--use-pixman", "--width=800", "--height=600"]
            self.screen = self.env["DISPLAY"]
        else:
            argv += ["--backend=headless-backend.so"]
        self.weston_log = os.path.join(self.root, "weston.log")
        with open(self.weston_log, "w") as log:
            self.spawn(argv, stdout=log, stderr=log)
        path = os.path.join(self.env["XDG_RUNTIME_DIR"], "dusk-0")

        def answers():
            with socket.socket(socket.AF_UNIX) as probe:
                try:
                    probe.connect(path)
                    return True
                except OSError:
                    return False

        wait_until(answers, what=lambda: f"weston (its log: {self.read(self.weston_log)[-2000:]!r})")
        # Wayland only: Dusk must find no X display of its own.
        self.env.pop("DISPLAY", None)
        self.env["WAYLAND_DISPLAY"] = "dusk-0"
        if self.keyboard:
            # The X keyboard goes to weston once and for all: weston hands
            # it to each window it maps, and an X focus change later would
            # give it back to whichever window had it before.
            wait_until(lambda: "window id" in self.read(self.weston_log), what="weston's window")
            self.xdotool("windowfocus", "--sync", self.compositor_window())

    def compositor_window(self):
        """weston's own window on the Xvfb screen, as its log names it."""
        for line in self.read(self.weston_log).splitlines():
            if "window id" in line:
                return line.rsplit(" ", 1)[1]
        raise AssertionError("weston named no window of its own")

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env={**self.env, "DISPLAY": self.screen}, capture_output=True,
                              text=True, timeout=20)


class KeyboardSession(WaylandSession):
    keyboard = True


class ShortcutsPortal:
    """shortcuts_portal.py on the session's bus, and its log of events."""

    def __init__(self, session):
        self.session = session
        self.log_path = os.path.join(session.root, f"portal-{len(session.processes)}.log")
        with open(self.log_path, "w") as log:
            self.process = session.spawn([PYTHON, os.path.join(HERE, "shortcuts_portal.py")], stdout=log)
        wait_until(lambda: "ready" in self.lines(), what="the shortcuts portal")
        self.test = dbus.Interface(session.bus.get_object("org.freedesktop.portal.Desktop",
                                                          "/org/freedesktop/portal/desktop"), "org.dusk.Test")

    def lines(self):
        return Session.read(self.log_path).splitlines()

    def lines_starting(self, word):
        return [line for line in self.lines() if line.split(" ", 1)[0] == word]

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=5)


class WaylandTestCase(SessionTestCase):
    session_kind = WaylandSession

    def tearDown(self):
        super().tearDown()
        settings = os.path.join(self.session.env["XDG_CONFIG_HOME"], "dusk", "settings.conf")
        if os.path.exists(settings):
            os.remove(settings)

    def start(self, env=None, **kwargs):
        if env:
            self.session.env.update(env)
        try:
            dusk = self.session.start_dusk(DUSK, **kwargs)
        finally:
            for key in env or {}:
                self.session.env.pop(key, None)
        self.running.append(dusk)
        return dusk

    def store(self, code, modifiers):
        directory = os.path.join(self.session.env["XDG_CONFIG_HOME"], "dusk")
        os.makedirs(directory, exist_ok=True)
        with open(os.path.join(directory, "settings.conf"), "w") as file:
            file.write(f"hotKeyCode={code}\nhotKeyModifiers={modifiers}\n")

    def stored(self):
        return Session.read(os.path.join(self.session.env["XDG_CONFIG_HOME"], "dusk", "settings.conf"))


class WithPortal(WaylandTestCase):
    def setUp(self):
        super().setUp()
        self.portal = ShortcutsPortal(self.session)

    def tearDown(self):
        super().tearDown()
        self.portal.stop()
        self.assertEqual(self.portal.lines_starting("violation"), [])

    def toggles(self, dusk):
        return dusk.log().count(TOGGLED)

    def wait_bound(self, dusk, count=1):
        wait_until(lambda: len(self.portal.lines_starting("bind")) >= count,
                   what=lambda: f"a bind (portal: {self.portal.lines()}, Dusk: {dusk.log()!r})")
        wait_until(lambda: PORTAL_BIND.search(dusk.log()), what="the registration")


class PortalShortcut(WithPortal):
    def test_registers_as_dusk_first_then_binds_its_shortcut_with_the_stored_trigger(self):
        dusk = self.start()
        self.wait_bound(dusk)
        lines = self.portal.lines()
        self.assertEqual(self.portal.lines_starting("register"), ["register app.dusk.Dusk"])
        session = self.portal.lines_starting("session")[0]
        self.assertLess(lines.index("register app.dusk.Dusk"), lines.index(session))
        self.assertTrue(session.endswith(" app.dusk.Dusk"), session)
        self.assertEqual(self.portal.lines_starting("bind"),
                         ["bind toggle-appearance CTRL+ALT+LOGO+d | Switch between Light and Dark"])
        self.assertRegex(dusk.log(), r"BindShortcuts ⌃⌥⌘D code=2 mods=6400 status=0\b")
        self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+D…")

    def test_each_activation_toggles_once_and_deactivation_does_nothing(self):
        dusk = self.start()
        self.wait_bound(dusk)
        schemes = ["'prefer-dark'", "'default'"]
        presses = 20
        for press in range(presses):
            self.assertEqual(self.portal.test.Press(SHORTCUT), 1)
            wait_until(lambda: self.session.color_scheme() == schemes[press % 2],
                       what=lambda: f"press {press + 1} to toggle (Dusk: {dusk.log()[-600:]!r})")
        released = self.session.color_scheme()
        self.assertEqual(self.portal.test.Release(SHORTCUT), 1)
        # A menu round trip comes after any toggle queued before it.
        dusk.titles()
        wait_until(lambda: self.toggles(dusk) >= presses, what="every toggle in the log")
        dusk.titles()
        self.assertEqual(self.toggles(dusk), presses)
        self.assertEqual(self.session.color_scheme(), released)

    def test_the_menu_follows_the_keys_the_desktop_gives_the_shortcut(self):
        dusk = self.start()
        self.wait_bound(dusk)
        self.assertEqual(self.portal.test.ChangeTrigger(SHORTCUT, "Ctrl+Alt+Super+L"), 1)
        wait_until(lambda: dusk.titles()[1] == "Hotkey: Ctrl+Alt+Super+L…", what=lambda: f"the new keys in {dusk.titles()}")
        # Stored as the shortcut: L is key code 37, the modifiers unchanged.
        self.assertIn("hotKeyCode=37\n", self.stored())
        self.assertIn("hotKeyModifiers=1835008\n", self.stored())
        self.assertIn("hot key binding changed by the desktop: ⌃⌥⌘L", dusk.log())

        self.assertEqual(self.portal.test.ChangeTrigger(SHORTCUT, ""), 1)
        wait_until(lambda: dusk.titles()[1] == "Hotkey: Ctrl+Alt+Super+L (not registered)…",
                   what=lambda: f"the dropped keys in {dusk.titles()}")
        self.assertIn("hot key binding changed by the desktop: no keys", dusk.log())
        self.assertEqual(self.portal.test.Press(SHORTCUT), 0)

    def test_a_bare_key_the_desktop_chooses_is_shown_and_the_stored_shortcut_outlives_a_restart(self):
        self.store(40, 1835008)
        dusk = self.start()
        self.wait_bound(dusk)
        self.assertEqual(self.portal.test.ChangeTrigger(SHORTCUT, "Q"), 1)
        wait_until(lambda: dusk.titles()[1] == "Hotkey: Q…", what=lambda: f"the bare key in {dusk.titles()}")
        self.assertIn("hot key binding changed by the desktop: Q", dusk.log())
        self.assertEqual(self.stored(), "hotKeyCode=40\nhotKeyModifiers=1835008\n")
        dusk.stop()
        # The desktop ends the session of a client that has gone.
        self.assertEqual(self.portal.test.EndSessions(), 1)

        dusk = self.start()
        self.wait_bound(dusk, count=2)
        self.assertEqual(self.portal.lines_starting("bind")[-1],
                         "bind toggle-appearance CTRL+ALT+LOGO+k | Switch between Light and Dark")
        self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+K…")
        self.assertEqual(self.portal.test.Press(SHORTCUT), 1)
        wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="the stored shortcut to toggle")
        self.assertEqual(self.stored(), "hotKeyCode=40\nhotKeyModifiers=1835008\n")

    def test_a_session_the_desktop_ends_leaves_the_shortcut_unbound(self):
        dusk = self.start()
        self.wait_bound(dusk)
        self.assertEqual(self.portal.test.EndSessions(), 1)
        wait_until(lambda: dusk.titles()[1] == "Hotkey: Ctrl+Alt+Super+D (not registered)…",
                   what=lambda: f"the ended session in {dusk.titles()}")
        self.assertIn("the desktop closed Dusk's shortcuts session", dusk.log())
        self.assertIn("hot key binding changed by the desktop: no keys", dusk.log())

    def test_keys_other_than_asked_for_are_the_ones_the_menu_shows(self):
        self.portal.test.AnswerBindsWith("other", "Shift+Ctrl+F5")
        dusk = self.start()
        self.wait_bound(dusk)
        wait_until(lambda: dusk.titles()[1] == "Hotkey: Ctrl+Shift+F5…", what=lambda: f"the desktop's keys in {dusk.titles()}")
        self.assertIn("hotKeyCode=96\n", self.stored())
        self.assertEqual(self.portal.test.Press(SHORTCUT), 1)
        wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="the press to toggle")

    def test_keys_dusk_cannot_name_read_not_registered_and_are_logged(self):
        self.portal.test.AnswerBindsWith("other", "Ctrl+Ω")
        dusk = self.start()
        self.wait_bound(dusk)
        wait_until(lambda: dusk.titles()[1] == "Hotkey: Ctrl+Alt+Super+D (not registered)…",
                   what=lambda: f"no claim in {dusk.titles()}")
        self.assertIn('the desktop bound the global shortcut to "Ctrl+Ω", keys Dusk cannot name', dusk.log())
        # Nothing was stored over the shortcut Dusk asked for.
        self.assertEqual(self.stored(), "")

    def test_refused_cancelled_or_unbound_reads_not_registered(self):
        # The status is the portal's response code, or Dusk's own 3 for no keys.
        for answer, problem, status in (("refuse", "the desktop refused the shortcut", 2),
                                        ("cancel", "the desktop cancelled the shortcut", 1),
                                        ("none", "the desktop bound no keys to the shortcut", 3)):
            with self.subTest(answer):
                self.portal.test.AnswerBindsWith(answer, "")
                dusk = self.start()
                self.wait_bound(dusk, count=len(self.portal.lines_starting("bind")) or 1)
                self.assertIn(f"BindShortcuts ⌃⌥⌘D code=2 mods=6400 status={status}\n", dusk.log())
                self.assertIn(problem, dusk.log())
                self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+D (not registered)…")
                # Nothing is left bound behind the refusal.
                wait_until(lambda: self.portal.test.OpenSessions() == 0, what="the refused session to close")
                dusk.stop()


class WithoutPortal(WaylandTestCase):
    def test_runs_on_wayland_and_says_why_the_shortcut_is_not_registered(self):
        dusk = self.start()
        wait_until(lambda: PORTAL_BIND.search(dusk.log()), what="the registration")
        self.assertIn("BindShortcuts ⌃⌥⌘D code=2 mods=6400 status=-1\n", dusk.log())
        self.assertIn("this session's portal offers no global shortcuts", dusk.log())
        self.assertIn("bind `dusk toggle`", dusk.log())
        self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+D (not registered)…")

    def test_key_names_are_the_configured_layouts(self):
        # Key code 6 is the key beside the left Shift: Z in the US layout, Y
        # in the German one; 2 is D in both.
        for layout, names in (("us", {2: "D", 6: "Z"}), ("de", {2: "D", 6: "Y"})):
            for code, name in names.items():
                with self.subTest(layout=layout, code=code):
                    self.store(code, 1835008)
                    dusk = self.start(env={"XKB_DEFAULT_LAYOUT": layout})
                    self.assertEqual(dusk.titles()[1], f"Hotkey: Ctrl+Alt+Super+{name} (not registered)…")
                    dusk.stop()


class TraylessWaylandSession(WaylandSession):
    def __init__(self):
        super().__init__(tray_host=False)


class NeitherTrayNorPortal(WaylandTestCase):
    """weston as it comes: no tray, no shortcuts portal, no X display. Dusk
    can show nothing and bind nothing, and its notice says so."""

    session_kind = TraylessWaylandSession

    def test_the_notice_says_there_is_no_icon_and_no_shortcut_and_what_to_do(self):
        log = os.path.join(self.session.root, "notifications.log")
        with open(log, "w") as output:
            self.session.spawn([PYTHON, os.path.join(HERE, "notification_server.py")], stdout=output)
        wait_until(lambda: "ready" in Session.read(log), what="the notification server")
        dusk = self.start(wait_for_tray=False)
        notices = wait_until(lambda: [line for line in Session.read(log).splitlines() if line.startswith("notify ")],
                             timeout=20, what=lambda: f"the notice (Dusk's log: {dusk.log()!r})")
        summary, body = notices[0].split(" ", 2)[2].split("\t")
        self.assertEqual(summary, "Dusk is running without an icon or a shortcut")
        self.assertEqual(body.split("\\n"), [
            "This desktop has no system tray and lets no application have a global shortcut, so Dusk can show no "
            "icon and its keyboard shortcut does nothing here.",
            "weston runs no command on a key: run `dusk toggle` in a terminal to switch.",
            "To quit Dusk without its menu, run: pkill -x dusk"])
        line = dusk.wait_for_log("no system tray and no global shortcuts here")
        self.assertNotIn("still switches", line)
        self.assertIn("weston runs no command on a key", line)


class WithRecorder(WithPortal):
    """Keys typed into Dusk's recorder, through weston on an Xvfb screen."""

    session_kind = KeyboardSession

    PROMPT = "Press the shortcut you want to use to toggle Light/Dark mode."

    @staticmethod
    def texts(dusk):
        """Dusk's window texts. A window that goes while they are read takes
        its AT-SPI objects with it, and they are read again."""
        def reading():
            try:
                return [dusk.window_texts()]
            except dbus.DBusException as error:
                if error.get_dbus_name() != "org.freedesktop.DBus.Error.UnknownObject":
                    raise
                return None
        return wait_until(reading, what="a whole reading of Dusk's windows")[0]

    def record(self, dusk, title, keys, recorded):
        """Opens the recorder from the menu and types keys into it until
        `recorded` holds. weston hands the keyboard to a new window once it
        has shown it, which nothing outside weston can see: keys typed before
        then reach no window and are typed again."""
        dusk.click(title)
        wait_until(lambda: self.PROMPT in self.texts(dusk), what=lambda: f"the recorder in {self.texts(dusk)}")
        for _ in range(10):
            self.session.xdotool("key", keys)
            try:
                wait_until(lambda: recorded() or self.PROMPT not in self.texts(dusk), timeout=3)
            except AssertionError:
                continue  # still open, nothing recorded
            return wait_until(recorded, what=f"{keys} to be recorded")
        raise AssertionError(f"{keys} never reached the recorder")


class RecorderOnWayland(WithRecorder):
    def test_a_recorded_shortcut_is_bound_anew_and_a_refusal_is_shown(self):
        dusk = self.start(accessible=True)
        self.wait_bound(dusk)
        self.record(dusk, "Hotkey: Ctrl+Alt+Super+D…", "ctrl+alt+super+k",
                    lambda: "bind toggle-appearance CTRL+ALT+LOGO+k | Switch between Light and Dark" in
                    self.portal.lines())
        wait_until(lambda: dusk.titles()[1] == "Hotkey: Ctrl+Alt+Super+K…", what=lambda: f"the new shortcut in {dusk.titles()}")
        # Each bind had a session of its own; the earlier ones are closed.
        self.assertEqual(self.portal.test.OpenSessions(), 1)

        self.portal.test.AnswerBindsWith("refuse", "")
        self.record(dusk, "Hotkey: Ctrl+Alt+Super+K…", "ctrl+alt+super+j",
                    lambda: "Couldn't register Ctrl+Alt+Super+J" in self.texts(dusk))
        dusk.press_button("OK")
        wait_until(lambda: dusk.titles()[1] == "Hotkey: Ctrl+Alt+Super+J (not registered)…",
                   what=lambda: f"the refusal in {dusk.titles()}")


class MenuWatch(threading.Thread):
    """Asks Dusk's menu for its layout every 50 ms, on a connection of its
    own, until stopped: each answer is due within 100 ms (a deadline, not a
    measurement), and one that is late twice in a row is kept as a failure."""

    def __init__(self, session, dusk):
        super().__init__(daemon=True)
        self.address, self.service = session.env["DBUS_SESSION_BUS_ADDRESS"], dusk.service
        self.path = dusk.item_property("Menu")
        self.stopping = threading.Event()
        self.answers, self.failures = 0, []
        self.start()

    def run(self):
        bus = dbus.bus.BusConnection(self.address)
        menu = dbus.Interface(bus.get_object(self.service, self.path), "com.canonical.dbusmenu")
        while not self.stopping.wait(0.05):
            try:
                try:
                    menu.GetLayout(0, -1, [], timeout=0.1)
                except dbus.DBusException:
                    # On a loaded machine one answer can miss by CPU alone;
                    # waiting on another process misses the next one too.
                    menu.GetLayout(0, -1, [], timeout=0.1)
                self.answers += 1
            except dbus.DBusException as error:
                self.failures.append(f"{time.strftime('%H:%M:%S')} {error.get_dbus_name()}")

    def stop(self):
        self.stopping.set()
        self.join()
        return self.answers, self.failures


class SilentPortal(WithRecorder):
    """A portal that hangs: nothing Dusk asks of it waits on it. The menu
    answers each GetLayout within 100 ms throughout, the recorder records,
    each unanswered call is logged once its deadline has passed, an answer
    that comes late still binds, and SIGTERM ends Dusk at once."""

    def watch_menu(self, dusk):
        watch = MenuWatch(self.session, dusk)
        self.addCleanup(watch.stop)
        return watch

    def assert_menu_answered_throughout(self, watch, seconds):
        answers, failures = watch.stop()
        self.assertEqual(failures, [], "GetLayout calls that took more than 100 ms")
        # One every 50 ms when it answers at once, 20 a second; half that
        # is still "throughout".
        self.assertGreater(answers, seconds * 10)

    def terminate_at_once(self, dusk):
        dusk.process.send_signal(signal.SIGTERM)
        self.assertEqual(dusk.process.wait(timeout=1), 0, dusk.log()[-2000:])

    def test_unanswered_register_create_session_and_close_cost_only_the_binding(self):
        self.portal.test.Silence("Register")
        self.portal.test.Silence("CreateSession")
        dusk = self.start(accessible=True)
        watch = self.watch_menu(dusk)
        started = time.monotonic()
        wait_until(lambda: "register app.dusk.Dusk" in self.portal.lines(), what="Register")
        self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+D (not registered)…")
        self.record(dusk, "Hotkey: Ctrl+Alt+Super+D (not registered)…", "ctrl+alt+super+k",
                    lambda: "hotKeyCode=40\n" in self.stored())
        wait_until(lambda: "Couldn't register Ctrl+Alt+Super+K" in self.texts(dusk), timeout=30,
                   interval=0.25, what="the alert for the unanswered bind")
        self.assert_menu_answered_throughout(watch, time.monotonic() - started)
        self.assertIn("The desktop has not answered Dusk's request for the shortcut.", self.texts(dusk))
        self.assertNotIn(TAKEN, " ".join(self.texts(dusk)))
        log = dusk.log()
        self.assertIn("the portal has not answered Register within 10 s", log)
        self.assertIn("the desktop has not answered CreateSession within 10 s", log)
        self.assertIn("BindShortcuts ⌃⌥⌘K code=40 mods=6400 status=6\n", log)
        # The shortcut Dusk started with was replaced before the portal
        # could be asked for it: one session was asked for, K's.
        self.assertEqual(len(self.portal.lines_starting("session")), 1)
        dusk.press_button("OK")

        # The desktop answers after all: the shortcut is bound then.
        self.assertEqual(self.portal.test.Speak("CreateSession"), 1)
        wait_until(lambda: dusk.titles()[1] == "Hotkey: Ctrl+Alt+Super+K…", what="the late binding in the menu")
        self.assertEqual(self.portal.test.Press(SHORTCUT), 1)
        wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="the late-bound shortcut to toggle")

        # Opening the recorder closes the session, which the desktop never
        # confirms; Dusk quits at once all the same, the window open.
        self.portal.test.Silence("Close")
        watch = self.watch_menu(dusk)
        started = time.monotonic()
        dusk.click("Hotkey: Ctrl+Alt+Super+K…")
        wait_until(lambda: self.portal.lines_starting("close"), what="Close")
        wait_until(lambda: self.PROMPT in self.texts(dusk), what="the recorder")
        time.sleep(1)
        self.assert_menu_answered_throughout(watch, time.monotonic() - started)
        self.terminate_at_once(dusk)

    def test_an_unanswered_bind_costs_only_the_binding(self):
        self.portal.test.Silence("BindShortcuts")
        dusk = self.start(accessible=True)
        watch = self.watch_menu(dusk)
        started = time.monotonic()
        wait_until(lambda: self.portal.lines_starting("bind"), what="BindShortcuts")
        self.record(dusk, "Hotkey: Ctrl+Alt+Super+D (not registered)…", "ctrl+alt+super+k",
                    lambda: "bind toggle-appearance CTRL+ALT+LOGO+k | Switch between Light and Dark" in
                    self.portal.lines())
        self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+K (not registered)…")
        wait_until(lambda: "Couldn't register Ctrl+Alt+Super+K" in self.texts(dusk), timeout=40,
                   interval=0.25, what="the alert for the unanswered bind")
        self.assert_menu_answered_throughout(watch, time.monotonic() - started)
        self.assertIn("the desktop has not answered BindShortcuts within 30 s", dusk.log())
        self.assertIn("The desktop has not answered Dusk's request for the shortcut.", self.texts(dusk))
        self.assertNotIn(TAKEN, " ".join(self.texts(dusk)))
        dusk.press_button("OK")
        # The first session was closed before the second was made.
        self.assertEqual(self.portal.test.OpenSessions(), 1)
        self.terminate_at_once(dusk)


class BesideXWayland(WaylandTestCase):
    """A Wayland session that also offers an X display, as with XWayland:
    Dusk goes native where the portal offers shortcuts, and keeps to X11 and
    its key grab where it does not."""

    session_kind = KeyboardSession

    def test_the_portal_decides_between_wayland_and_x11(self):
        portal = ShortcutsPortal(self.session)
        try:
            dusk = self.start(env={"DISPLAY": self.session.screen})
            wait_until(lambda: portal.lines_starting("bind"), what=lambda: f"a bind (Dusk: {dusk.log()!r})")
            self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+D…")
            dusk.stop()
        finally:
            portal.stop()
        dusk = self.start(env={"DISPLAY": self.session.screen})
        wait_until(lambda: "XGrabKey" in dusk.log(), what="the registration")
        self.assertRegex(dusk.log(), r"XGrabKey ⌃⌥⌘D code=2 mods=6400 status=0\b")
        # The grab is X11's: a key typed on the X display toggles.
        self.session.xdotool("key", "ctrl+alt+super+d")
        wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="the X11 press to toggle")


class NoPlatform(unittest.TestCase):
    def test_a_session_no_qt_platform_can_start_in_gives_one_line_and_status_1(self):
        base = {key: value for key, value in os.environ.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
        with tempfile.TemporaryDirectory(prefix="dusk-noplatform-") as root:
            # A copy whose Qt finds no platform plugins at all, as where
            # qt6-wayland is not installed: Qt reads qt.conf beside the program.
            os.makedirs(os.path.join(root, "plugins", "platforms"))
            shutil.copy(DUSK, os.path.join(root, "dusk"))
            with open(os.path.join(root, "qt.conf"), "w") as conf:
                conf.write(f"[Paths]\nPlugins = {os.path.join(root, 'plugins')}\n")
            runtime = os.path.join(root, "run")
            os.makedirs(runtime, mode=0o700)
            cases = {
                # A compositor that has gone away.
                "dead compositor": (DUSK, "Failed to create wl_display"),
                "no wayland platform": (os.path.join(root, "dusk"), 'Qt platform plugin "wayland"'),
            }
            for name, (program, reason) in cases.items():
                with self.subTest(name):
                    env = {**base, "WAYLAND_DISPLAY": "dusk-nobody-listens", "XDG_RUNTIME_DIR": runtime}
                    result = subprocess.run([program], env=env, capture_output=True, text=True, timeout=30)
                    self.assertEqual(result.returncode, 1, result.stderr)
                    self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                    self.assertTrue(result.stderr.startswith("dusk: cannot start on this display (Qt platform wayland): "),
                                    result.stderr)
                    self.assertIn(reason, result.stderr)


if __name__ == "__main__":
    unittest.main()
