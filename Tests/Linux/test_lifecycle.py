#!/usr/bin/python3
"""How Dusk ends, and how it stays the one copy of a login session, on a real
(virtual) desktop: Xvfb, a private dbus-daemon as the session bus, and
tray_host.py, the StatusNotifierWatcher Dusk registers with (see session.py).
Alerts are read over AT-SPI (at-spi2-core) and found with xdotool; x11_peer
holds a competing key grab; weston's headless backend is the Wayland
compositor that goes away. Everything here is Debian's own component except
tray_host.py, a peer written from the StatusNotifierItem interface, and
portal.py, one written from the portal's Settings interface that announces an
appearance change at a moment a test picks.

DUSK_EXECUTABLE names the built program, DUSK_BUILD_DIR its build tree (for
`cmake --install`), DUSK_X11_PEER the helper X client."""

import os
import shutil
import signal
import subprocess
import sys
import unittest

import dbus

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import HERE, PYTHON, Dusk, Session, wait_until  # noqa: E402
from test_desktop import (BUILD_DIR, CONTROL_ALT_SUPER, D_KEYCODE, DUSK, LIGHT_TIP, PRESS,  # noqa: E402
                          SECOND_COPY_LINE, X11_PEER, Peer, Portal, SessionTestCase, xdotool)

APPLICATION_ID = "app.dusk.Dusk"
# Mod2, where X's default keymap puts Num Lock.
NUM_LOCK = 16


def alert_windows(session):
    return xdotool(session, "search", "--onlyvisible", "--name", "^Dusk$").stdout.split()


def dismiss_alert(session):
    """Return on the alert, as a user would answer it."""
    window = wait_until(lambda: alert_windows(session), what="the alert")[0]
    xdotool(session, "windowfocus", "--sync", window)
    xdotool(session, "key", "Return")
    wait_until(lambda: not alert_windows(session), what="Return to dismiss the alert")


def show_login_item_alert(session, dusk):
    """A copy run from the build tree cannot launch at login, and says so."""
    dusk.click("Launch at Login")
    wait_until(lambda: alert_windows(session), what="the Launch at Login alert")


def show_registration_alert(session, dusk):
    """Records ⌃⌥⌘D while another client holds it, though only with Num Lock
    on: the keys still reach the recorder, and registering them fails.
    Answers the holder, to be stopped."""
    dusk.click("Hotkey: Ctrl+Alt+Super+D…")
    wait_until(lambda: xdotool(session, "getwindowfocus", "getwindowname").stdout.strip() == "Dusk Hotkey",
               what="the recorder to have the keyboard")
    # The recorder has let go of the shortcut, so the holder can take it.
    holder = Peer(session, "grab", D_KEYCODE, str(int(CONTROL_ALT_SUPER) | NUM_LOCK))
    xdotool(session, "key", PRESS)
    wait_until(lambda: alert_windows(session), what="the Couldn't register alert")
    return holder


def lines_not_logged(dusk):
    """What Dusk wrote to standard error besides its own log lines."""
    return [line for line in dusk.log().splitlines() if not line.startswith(f"dusk[{dusk.process.pid}] ")]


class Quitting(SessionTestCase):
    def quit_from_the_menu(self, dusk):
        dusk.click("Quit Dusk")
        self.assertEqual(dusk.wait_exit(), 0, dusk.log())
        self.assertEqual(lines_not_logged(dusk), [])

    def test_quit_after_the_login_item_alert(self):
        dusk = self.start(accessible=True)
        show_login_item_alert(self.session, dusk)
        dismiss_alert(self.session)
        self.quit_from_the_menu(dusk)

    @unittest.skipUnless(X11_PEER, "needs DUSK_X11_PEER")
    def test_quit_after_a_couldnt_register_alert(self):
        dusk = self.start(accessible=True)
        holder = show_registration_alert(self.session, dusk)
        self.addCleanup(holder.stop)
        wait_until(lambda: "Couldn't register Ctrl+Alt+Super+D" in dusk.window_texts(), what="the alert's message")
        dismiss_alert(self.session)
        self.quit_from_the_menu(dusk)

    def test_quit_with_accessibility_on(self):
        self.quit_from_the_menu(self.start(accessible=True))

    def test_a_signal_while_an_alert_waits_ends_both(self):
        dusk = self.start()
        show_login_item_alert(self.session, dusk)
        dusk.process.send_signal(signal.SIGTERM)
        self.assertEqual(dusk.wait_exit(), 0, dusk.log())
        self.assertEqual(lines_not_logged(dusk), [])


class Signals(SessionTestCase):
    """The session ends a program with SIGTERM, a terminal with SIGINT
    (Ctrl-C) or SIGHUP (closed): each ends Dusk as Quit does."""

    def check_ends_cleanly(self, signal_number):
        dusk = self.start()
        dusk.process.send_signal(signal_number)
        self.assertEqual(dusk.wait_exit(), 0, f"{signal.Signals(signal_number).name}: {dusk.log()}")
        self.assertEqual(lines_not_logged(dusk), [])

    def test_sigterm(self):
        self.check_ends_cleanly(signal.SIGTERM)

    def test_sigint(self):
        self.check_ends_cleanly(signal.SIGINT)

    def test_sighup(self):
        self.check_ends_cleanly(signal.SIGHUP)


class SignalAfterAnAppearanceChange(SessionTestCase):
    """A session of its own: the portal peer must own the portal's name
    before any Dusk asks the bus to start the real one."""

    def test_sigterm_right_after_an_appearance_change(self):
        """The change leaves a refresh queued that the ending loop never
        runs; it must not hold Dusk up on the way out. Whether the signal
        lands before the refresh runs is down to timing, so it is tried many
        times, each a fresh Dusk."""
        portal = Portal.start_portal(self, 1)
        try:
            for attempt in range(40):
                dusk = self.start()
                Portal.set_portal(self, 2 - attempt % 2)  # light, dark, light...
                dusk.process.send_signal(signal.SIGTERM)
                try:
                    status = dusk.wait_exit(timeout=5)
                except subprocess.TimeoutExpired:
                    dusk.process.kill()
                    self.fail(f"attempt {attempt}: still running 5 s after SIGTERM; its log: {dusk.log()!r}")
                self.assertEqual(status, 0, f"attempt {attempt}: {dusk.log()}")
                self.assertEqual(lines_not_logged(dusk), [])
        finally:
            portal.terminate()
            portal.wait()


class LostDisplay(unittest.TestCase):
    """The X server goes away under Dusk (it crashed, or the session ended
    without a word): one line, status 1, never a core dump."""

    def setUp(self):
        self.session = Session()
        self.addCleanup(self.session.close)

    def check_one_line_and_status_1(self, dusk, server=None, line=None):
        server = server or self.session.processes[0]  # Xvfb, the session's first process
        server.kill()
        self.assertEqual(dusk.wait_exit(), 1, dusk.log())
        line = line or f"dusk: lost the connection to the X display {self.session.env['DISPLAY']}"
        self.assertEqual(lines_not_logged(dusk), [line])

    def test_while_idle(self):
        self.check_one_line_and_status_1(self.session.start_dusk(DUSK))

    def test_after_an_alert(self):
        dusk = self.session.start_dusk(DUSK)
        show_login_item_alert(self.session, dusk)
        dismiss_alert(self.session)
        self.check_one_line_and_status_1(dusk)

    def test_while_an_alert_waits_with_accessibility_on(self):
        dusk = self.session.start_dusk(DUSK, accessible=True)
        show_login_item_alert(self.session, dusk)
        self.check_one_line_and_status_1(dusk)

    @unittest.skipUnless(shutil.which("weston"), "needs weston")
    def test_a_wayland_compositor_that_goes_away(self):
        # Weston's headless backend is the compositor; Dusk draws on it
        # through Qt's Wayland platform, with no X display at all.
        socket = "wayland-dusk"
        weston = self.session.spawn(["weston", "--backend=headless-backend.so", f"--socket={socket}", "--idle-time=0"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: os.path.exists(os.path.join(self.session.env["XDG_RUNTIME_DIR"], socket)), what="weston")
        log = os.path.join(self.session.root, "wayland.log")
        before = len(self.session.registered_items())
        env = {key: value for key, value in self.session.env.items() if key != "DISPLAY"}
        env.update({"WAYLAND_DISPLAY": socket, "QT_QPA_PLATFORM": "wayland"})
        with open(log, "w") as stderr:
            process = subprocess.Popen([DUSK], stdout=subprocess.DEVNULL, stderr=stderr, env=env)
        dusk = Dusk(self.session, process, log)
        self.addCleanup(dusk.stop)
        wait_until(lambda: len(self.session.registered_items()) > before, timeout=30,
                   what=lambda: f"Dusk's tray item: {dusk.log()!r}")
        self.check_one_line_and_status_1(dusk, weston, f"dusk: lost the connection to the Wayland display {socket}")


@unittest.skipUnless(BUILD_DIR, "needs DUSK_BUILD_DIR to install Dusk")
class OneCopyPerSession(SessionTestCase):
    TRIALS = 20

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.prefix = os.path.join(cls.session.root, "prefix")
        subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", cls.prefix], check=True,
                       stdout=subprocess.DEVNULL, timeout=120)
        cls.installed = os.path.join(cls.prefix, "bin", "dusk")

    def pid_of(self, service, bus=None):
        bus = bus or self.session.bus
        return int(bus.call_blocking("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                     "GetConnectionUnixProcessID", "s", (service,)))

    def name_owner(self, bus=None):
        try:
            return self.pid_of(APPLICATION_ID, bus)
        except dbus.DBusException:
            return None

    def item_of(self, dusk, session=None):
        """Dusk's tray item, once it is registered: the launch sequence gets
        there only past the guard."""
        session = session or self.session

        def registered():
            for service in session.registered_items():
                try:
                    if self.pid_of(service, session.bus) == dusk.process.pid:
                        return service
                except dbus.DBusException:
                    pass  # an item whose copy has quit since
            return None

        return wait_until(registered, timeout=30, what=lambda: f"the tray item of {dusk.process.pid}: {dusk.log()!r}")

    def test_of_two_copies_started_together_exactly_one_runs(self):
        for trial in range(1, self.TRIALS + 1):
            pair = [self.session.start_dusk(self.installed, wait_for_tray=False) for _ in range(2)]
            self.running.extend(pair)
            quitter = wait_until(lambda: next((dusk for dusk in pair if dusk.process.poll() is not None), None),
                                 timeout=30, what=lambda: f"one of two to quit, trial {trial}: {pair[0].log()}"
                                                          f" {pair[1].log()}")
            survivor = pair[1] if quitter is pair[0] else pair[0]
            self.assertEqual(quitter.process.returncode, 0, f"trial {trial}: {quitter.log()}")
            quitter.wait_for_log(SECOND_COPY_LINE)
            self.item_of(survivor)
            self.assertIsNone(survivor.process.poll(), f"trial {trial}: {survivor.log()}")
            self.assertEqual(self.name_owner(), survivor.process.pid, f"trial {trial}")
            self.assertNotIn(SECOND_COPY_LINE, survivor.log(), f"trial {trial}")
            survivor.stop()
            self.assertEqual(survivor.process.returncode, 0, f"trial {trial}: {survivor.log()}")

    def test_a_copy_in_another_session_is_not_affected(self):
        here = self.start(self.installed)
        other = Session()
        self.addCleanup(other.close)
        there = other.start_dusk(self.installed)
        self.addCleanup(there.stop)
        self.assertEqual(there.tooltip(), LIGHT_TIP)
        self.assertNotIn(SECOND_COPY_LINE, there.log())
        self.assertEqual(self.name_owner(other.bus), there.process.pid)
        self.assertEqual(self.name_owner(), here.process.pid)
        self.assertIsNone(here.process.poll())

    def test_an_upgraded_binary_still_counts(self):
        first = self.start(self.installed)
        # What a package manager does: the new file is renamed over the old.
        new = self.installed + ".new"
        shutil.copy2(self.installed, new)
        os.replace(new, self.installed)
        self.assertTrue(os.readlink(f"/proc/{first.process.pid}/exe").endswith(" (deleted)"))
        second = self.start(self.installed, wait_for_tray=False)
        self.assertEqual(second.wait_exit(), 0, second.log())
        second.wait_for_log(SECOND_COPY_LINE)
        self.assertIsNone(first.process.poll())
        self.assertEqual(self.name_owner(), first.process.pid)

    def notification_server(self):
        """The session's notification server, started by the first test
        that needs it; answers its log."""
        log = os.path.join(self.session.root, "notifications.log")
        if not os.path.exists(log):
            with open(log, "w") as output:
                self.session.spawn([PYTHON, os.path.join(HERE, "notification_server.py")], stdout=output)
            wait_until(lambda: "ready" in Session.read(log), what="the notification server")
        return log

    def notifications(self, log, since=0):
        return [line.split(" ", 2)[2] for line in Session.read(log).splitlines() if line.startswith("notify ")][since:]

    def test_a_copy_started_again_makes_the_running_one_known(self):
        log = self.notification_server()
        before = len(self.notifications(log))
        running = self.start(self.installed)
        for again in (1, 2):
            # As the application menu starts it: the same program, again.
            second = self.start(self.installed, wait_for_tray=False)
            self.assertEqual(second.wait_exit(), 0, second.log())
            second.wait_for_log(SECOND_COPY_LINE)
            wait_until(lambda: len(self.notifications(log, before)) == again, what=lambda: f"notice {again} from "
                       f"the running copy (its log: {running.log()!r})")
        self.assertEqual(self.notifications(log, before),
                         ["Dusk is already running\tIts icon is in the system tray: click it for Dusk's menu."] * 2)
        self.assertIsNone(running.process.poll())
        self.assertEqual(self.name_owner(), running.process.pid)

    def test_without_a_tray_a_copy_started_again_repeats_the_notice(self):
        log = self.notification_server()
        before = len(self.notifications(log))
        self.session.stop_tray_host()
        self.addCleanup(self.session.start_tray_host)
        running = self.start(self.installed, wait_for_tray=False)
        wait_until(lambda: self.notifications(log, before), timeout=20, what=lambda: f"the notice of no tray ({running.log()!r})")
        second = self.start(self.installed, wait_for_tray=False)
        self.assertEqual(second.wait_exit(), 0, second.log())
        # Told once on this desktop already, and told again: the user asked.
        wait_until(lambda: len(self.notifications(log, before)) == 2,
                   what=lambda: f"the notice again ({running.log()!r})")
        self.assertEqual({notice.split("\t")[0] for notice in self.notifications(log, before)},
                         {"Dusk is running without a tray icon"})

    def test_copies_from_a_build_tree_skip_the_guard(self):
        first, second = self.start(), self.start()
        self.assertIsNone(first.process.poll())
        self.assertIsNone(second.process.poll())
        self.assertIsNone(self.name_owner())

    def test_an_installed_copy_beside_a_build_tree_one_says_its_shortcut_is_taken(self):
        # A developer's build runs beside the installed copy, which comes
        # second and cannot have the keys: its log and its menu say so.
        self.start()
        installed = self.start(self.installed)
        log = installed.wait_for_log("XGrabKey ⌃⌥⌘D code=2 mods=6400 status=10")
        self.assertIn("another X client (another application, or another copy of Dusk) holds these keys", log)
        self.assertEqual(installed.titles()[1], "Hotkey: Ctrl+Alt+Super+D (not registered)…")

    def test_without_a_session_bus_it_runs_and_says_why(self):
        env = {"DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(self.session.root, "no-bus-here")}
        log = os.path.join(self.session.root, "no-bus.log")
        with open(log, "w") as stderr:
            process = self.session.spawn([self.installed], stdout=subprocess.DEVNULL, stderr=stderr, env=env)
        try:
            wait_until(lambda: "no session bus" in Session.read(log), what=lambda: f"the reason: {Session.read(log)!r}")
            self.assertIn("running anyway", Session.read(log))
            self.assertIsNone(process.poll())
            self.assertNotIn(SECOND_COPY_LINE, Session.read(log))
        finally:
            process.terminate()
            process.wait(timeout=10)


if __name__ == "__main__":
    unittest.main()
