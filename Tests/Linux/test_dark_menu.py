#!/usr/bin/python3
"""Dusk's own menu in Dark, measured in a screenshot: the "Launch at Login"
check box must read plainly against the menu, checked and unchecked alike,
and the two must differ at a glance. The menu is Dusk's own Qt menu, opened
the way a shell opens it (Activate on the tray item) and captured from the
screen with ImageMagick's import; an installed copy, so that the item can be
checked. Real components: Xvfb, dbus-daemon, dconf-service; the tray host is
tray_host.py (session.py).

DUSK_EXECUTABLE names the built program; DUSK_BUILD_DIR its build tree."""

import os
import subprocess
import sys
import unittest
from collections import Counter

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import dbus  # noqa: E402
from session import SNI, Session, contrast, luminance, wait_until  # noqa: E402

BUILD_DIR = os.environ.get("DUSK_BUILD_DIR", "")
DARK_TIP = "Dusk – switch to Light Mode"
# Text starts further right: this strip of the menu holds only the check box.
INDICATOR_STRIP = 25


@unittest.skipUnless(BUILD_DIR, "needs DUSK_BUILD_DIR to install Dusk")
class DarkMenu(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = Session()
        prefix = os.path.join(cls.session.root, "prefix")
        subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL,
                       timeout=120)
        cls.installed = os.path.join(prefix, "bin", "dusk")

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def run_x(self, *argv, check=True):
        return subprocess.run(argv, env=self.session.env, capture_output=True, check=check, timeout=20)

    def menu_window(self, dusk):
        # Dusk shows no other window here; none found is status 1.
        found = self.run_x("xdotool", "search", "--onlyvisible", "--pid", str(dusk.process.pid), check=False)
        windows = found.stdout.split()
        return windows[0] if windows else None

    def open_menu_and_capture(self, dusk):
        """The menu's pixels, rows of (r, g, b), as the screen shows them."""
        self.run_x("xdotool", "mousemove", "100", "40")
        item = dbus.Interface(self.session.bus.get_object(dusk.service, "/StatusNotifierItem"), SNI)
        item.Activate(dbus.Int32(100), dbus.Int32(40))
        window = wait_until(lambda: self.menu_window(dusk), what="the menu on screen")
        self.run_x("xdotool", "mousemove", "1000", "700")  # no pointer in the picture, no item under it
        info = self.run_x("xwininfo", "-id", window).stdout.decode()
        fields = dict(line.strip().split(":", 1) for line in info.splitlines() if ":" in line)
        x, y = int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"])
        width, height = int(fields["Width"]), int(fields["Height"])

        def capture():
            raw = self.run_x("import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}", "-depth", "8",
                             "rgb:-").stdout
            return [[tuple(raw[(row * width + column) * 3:(row * width + column) * 3 + 3]) for column in
                     range(width)] for row in range(height)]

        # Drawn some time after it is mapped: its text is there and two
        # captures in a row agree.
        last = [None]

        def drawn():
            current, previous = capture(), last[0]
            last[0] = current
            text = any(luminance(pixel) > 0.5 for row in current for pixel in row)
            return current if text and current == previous else None

        pixels = wait_until(drawn, what="the menu to be drawn")
        self.run_x("xdotool", "key", "Escape")
        wait_until(lambda: not self.menu_window(dusk), what="Escape to close the menu")
        return pixels

    def indicator(self, pixels):
        """Pixels of the check box strip with their contrast to the menu."""
        background = Counter(pixel for row in pixels for pixel in row).most_common(1)[0][0]
        strip = [pixel for row in pixels for pixel in row[:INDICATOR_STRIP]]
        return background, [contrast(pixel, background) for pixel in strip]

    def test_the_check_box_reads_plainly_checked_and_unchecked(self):
        self.session.set_color_scheme("prefer-dark")
        dusk = self.session.start_dusk(self.installed)
        try:
            wait_until(lambda: dusk.tooltip() == DARK_TIP, what="Dark")
            self.assertFalse(dusk.checked("Launch at Login"))
            background, unchecked = self.indicator(self.open_menu_and_capture(dusk))
            self.assertLess(luminance(background), 0.05, f"the menu is not dark: {background}")
            # The box's border: a WCAG non-text contrast of at least 3:1.
            self.assertGreaterEqual(max(unchecked), 3.0)
            self.assertGreaterEqual(sum(ratio >= 3.0 for ratio in unchecked), 20, "too little of the box shows")

            dusk.click("Launch at Login")
            wait_until(lambda: dusk.checked("Launch at Login"), what="the item to be checked")
            _, checked = self.indicator(self.open_menu_and_capture(dusk))
            self.assertGreaterEqual(max(checked), 3.0)
            # Checked, the whole box stands out, not only its border.
            self.assertGreaterEqual(sum(ratio >= 3.0 for ratio in checked),
                                    2 * sum(ratio >= 3.0 for ratio in unchecked))
            dusk.click("Launch at Login")
            wait_until(lambda: not dusk.checked("Launch at Login"), what="the item to be unchecked")
        finally:
            dusk.stop()


if __name__ == "__main__":
    unittest.main()
