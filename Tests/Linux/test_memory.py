#!/usr/bin/python3
"""What Dusk's windows hold goes when they close, on a real (virtual)
desktop: Xvfb (its MIT-SHM extension holds each window's image), a private
dbus-daemon as the session bus, and tray_host.py, a peer written from the
StatusNotifierItem interface (see session.py). How much memory that gives
back is a figure, measured by bench.py --memory, not tested here.

DUSK_EXECUTABLE names the built program."""

import os
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import SessionTestCase, wait_until  # noqa: E402
from test_desktop import INSTALLED, xdotool  # noqa: E402


def x_windows(session, title):
    """Every X window of that title, mapped or not: a hidden widget keeps its
    window, a destroyed one does not. (xdotool ignores case, and Qt's own
    "dusk" window leads Dusk's others.)"""
    found = xdotool(session, "search", "--name", f"^{title}$").stdout.split()
    return [window for window in found if xdotool(session, "getwindowname", window).stdout.strip() == title]


def shared_images(pid):
    """The window images Dusk shares with the X server (MIT-SHM, as a memfd
    or a SysV segment)."""
    with open(f"/proc/{pid}/maps") as maps:
        return [line.split()[-1] for line in maps if "/memfd:xorg" in line or "/SYSV" in line]


class ClosedWindows(SessionTestCase):
    def assert_window_goes_with_its_image(self, dusk, title, close):
        wait_until(lambda: xdotool(self.session, "search", "--onlyvisible", "--name", f"^{title}$").stdout.split(),
                   what=f"the {title!r} window")
        wait_until(lambda: shared_images(dusk.process.pid), what=f"the {title!r} window's image in shared memory")
        close()
        wait_until(lambda: not x_windows(self.session, title),
                   what=lambda: f"the {title!r} window destroyed, not hidden: {x_windows(self.session, title)}")
        wait_until(lambda: not shared_images(dusk.process.pid),
                   what=lambda: f"its image unmapped: {shared_images(dusk.process.pid)}")

    def test_the_recorder_closed_with_escape_leaves_no_window_behind(self):
        dusk = self.start()
        dusk.click("Hotkey: Ctrl+Alt+Super+D…")

        def escape():
            wait_until(lambda: xdotool(self.session, "getwindowfocus", "getwindowname").stdout.strip()
                       == "Dusk Hotkey", what="the recorder to have the keyboard")
            xdotool(self.session, "key", "Escape")

        self.assert_window_goes_with_its_image(dusk, "Dusk Hotkey", escape)
        # Opened again, it is built anew and works as the first one did.
        dusk.click("Hotkey: Ctrl+Alt+Super+D…")
        self.assert_window_goes_with_its_image(dusk, "Dusk Hotkey", escape)
        self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+D…")

    @unittest.skipIf(INSTALLED, "an installed copy can launch at login and shows no alert for it")
    def test_a_dismissed_alert_leaves_no_window_behind(self):
        dusk = self.start()
        dusk.click("Launch at Login")

        def dismiss():
            alert = xdotool(self.session, "search", "--onlyvisible", "--name", "^Dusk$").stdout.split()[0]
            xdotool(self.session, "windowfocus", "--sync", alert)
            xdotool(self.session, "key", "Return")

        self.assert_window_goes_with_its_image(dusk, "Dusk", dismiss)
        # Dusk goes on answering its menu.
        self.assertFalse(dusk.checked("Launch at Login"))


if __name__ == "__main__":
    unittest.main()
