#!/usr/bin/python3
"""Dusk's global shortcut and recorder on a real X server (Xvfb), where X's
rough edges are: key repeat while the shortcut is held, modifier mappings
that change under a registration, keys a Mac has other codes for or none,
dead keys. Keys are pressed with XTEST (xdotool); x11_peer (a small X client
of ours) holds competing grabs, counts bells, and changes the keymap and the
modifier mapping through the core protocol as xmodmap would."""

import os
import subprocess
import sys
import time
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import Session, wait_until  # noqa: E402
from test_desktop import PRESS, D_KEYCODE, X11_PEER, Peer, SessionTestCase, xdotool  # noqa: E402

# X's modifier bits: Shift 1, Lock 2, Control 4, Mod1 8, Mod2 16, Mod3 32.
LOCK, MOD2, MOD3 = 2, 16, 32
CONTROL_ALT_SUPER = 4 | 8 | 64  # Control, Mod1 (Alt), Mod4 (Super)
NUM_LOCK_KEYCODE = "77"  # evdev KEY_NUMLOCK
MOD2_INDEX, MOD3_INDEX = "4", "5"


def peer(session, *args):
    result = subprocess.run([X11_PEER, *args], env=session.env, capture_output=True, text=True, timeout=20)
    if result.stdout.strip() != "ready":
        raise AssertionError(f"x11_peer {' '.join(args)}: {result.stdout}{result.stderr}")


@unittest.skipUnless(X11_PEER, "needs DUSK_X11_PEER")
class X11TestCase(SessionTestCase):
    def tearDown(self):
        super().tearDown()
        settings = self.config("dusk", "settings.conf")
        if os.path.exists(settings):
            os.remove(settings)

    def toggles(self, dusk):
        return dusk.log().count("toggle requested")

    def stored(self):
        return Session.read(self.config("dusk", "settings.conf"))

    def store(self, code, modifiers):
        os.makedirs(self.config("dusk"), exist_ok=True)
        with open(self.config("dusk", "settings.conf"), "w") as file:
            file.write(f"hotKeyCode={code}\nhotKeyModifiers={modifiers}\n")

    def recorder_visible(self):
        return xdotool(self.session, "search", "--onlyvisible", "--name", "^Dusk Hotkey$").stdout.strip() != ""

    def open_recorder(self, dusk):
        dusk.click(dusk.titles()[1])
        wait_until(self.recorder_visible, what="the recorder window")
        wait_until(lambda: xdotool(self.session, "getwindowfocus", "getwindowname").stdout.strip() == "Dusk Hotkey",
                   what="the recorder to have the keyboard")


class HeldShortcut(X11TestCase):
    def test_holding_the_shortcut_for_two_seconds_toggles_once(self):
        # Xvfb repeats a held key (XKB RepeatKeys: after 660 ms, 25 a second),
        # so two seconds bring some thirty repeated presses.
        dusk = self.start()
        xdotool(self.session, "keydown", PRESS)
        try:
            wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="the first press to toggle")
            time.sleep(2)
        finally:
            xdotool(self.session, "keyup", PRESS)
        # The next press comes after every repeat of the held one, and must
        # toggle back: whatever the repeats did is in the log by then.
        xdotool(self.session, "key", PRESS)
        wait_until(lambda: self.session.color_scheme() == "'default'", what="the next press to toggle back")
        self.assertEqual(self.toggles(dusk), 2, dusk.log())
        self.assertEqual(dusk.log().count("hotkey event received"), 2)


class ModifierMappingChange(X11TestCase):
    def test_the_shortcut_follows_num_lock_to_another_modifier_and_clear_releases_every_grab(self):
        dusk = self.start(accessible=True)
        self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+D…")
        # Num Lock moves from Mod2 to Mod3 while the shortcut is registered.
        self.addCleanup(peer, self.session, "modifier", MOD2_INDEX, NUM_LOCK_KEYCODE)
        peer(self.session, "modifier", MOD3_INDEX, NUM_LOCK_KEYCODE)
        xdotool(self.session, "key", "Num_Lock")
        self.addCleanup(xdotool, self.session, "key", "Num_Lock")

        # Dusk hears of the change on its own time: press until a press
        # lands, each time waiting a moment for the toggle.
        def press_toggles():
            before = self.session.color_scheme()
            xdotool(self.session, "key", PRESS)
            try:
                wait_until(lambda: self.session.color_scheme() != before, timeout=0.5)
                return True
            except AssertionError:
                return False

        wait_until(press_toggles, timeout=10, what="the shortcut to work with Num Lock on Mod3")

        self.open_recorder(dusk)
        dusk.press_button("Clear Hotkey")
        wait_until(lambda: not self.recorder_visible(), what="the window to close")
        self.assertEqual(dusk.titles()[1], "Set Hotkey…")
        # Every lock variant Dusk ever grabbed is free again, under the old
        # Num Lock modifier and the new one.
        variants = [CONTROL_ALT_SUPER | extra for extra in (0, LOCK, MOD2, MOD2 | LOCK, MOD3, MOD3 | LOCK)]
        Peer(self.session, "grab", D_KEYCODE, *map(str, variants)).stop()


class RecorderKeys(X11TestCase):
    def test_print_and_pause_record_as_f13_and_f15_and_menu_beeps_with_the_hint(self):
        bells = Peer(self.session, "bells")
        self.addCleanup(bells.stop)
        dusk = self.start(accessible=True)
        self.open_recorder(dusk)
        # Menu has no code on a Mac: never silence, never a recording.
        xdotool(self.session, "key", "Menu")
        wait_until(lambda: bells.count("bell") == 1, what="the bell for Menu")
        wait_until(lambda: "Add Super, Alt, or Ctrl" in dusk.window_texts(), what="the hint")
        self.assertEqual(self.stored(), "")
        self.assertTrue(self.recorder_visible())
        xdotool(self.session, "key", "ctrl+Menu")
        wait_until(lambda: bells.count("bell") == 2, what="the bell for Control-Menu")
        self.assertEqual(self.stored(), "")

        # Print is F13 on a Mac, a function key that needs no modifier.
        xdotool(self.session, "key", "Print")
        wait_until(lambda: "hotKeyCode=105\n" in self.stored(), what="Print stored as F13")
        self.assertIn("hotKeyModifiers=0\n", self.stored())
        wait_until(lambda: not self.recorder_visible(), what="the window to close")
        self.assertIn("XGrabKey F13 code=105 mods=0 status=0", dusk.log())
        self.assertEqual(dusk.titles()[1], "Hotkey: F13…")
        xdotool(self.session, "key", "Print")
        wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="Print to toggle")

        self.open_recorder(dusk)
        xdotool(self.session, "key", "super+Pause")
        wait_until(lambda: "hotKeyCode=113\n" in self.stored(), what="Pause stored as F15")
        self.assertIn("hotKeyModifiers=1048576\n", self.stored())
        wait_until(lambda: not self.recorder_visible(), what="the window to close")
        self.assertEqual(dusk.titles()[1], "Hotkey: Super+F15…")
        xdotool(self.session, "key", "super+Pause")
        wait_until(lambda: self.session.color_scheme() == "'default'", what="Super-Pause to toggle")
        self.assertEqual(bells.count("bell"), 2)


class KeyNames(X11TestCase):
    def remap(self, keycode, *keysyms):
        peer(self.session, "map", str(keycode), *keysyms)

    def title_for(self, code):
        self.store(code, 1048576)  # Command
        dusk = self.start()
        title = dusk.titles()[1]
        dusk.stop()
        return title

    def test_the_iso_keys_are_named_from_where_a_mac_puts_their_codes(self):
        # 10 is the key left of 1 (grave on a US layout); 50 the key beside
        # the left Shift (less on this keymap).
        self.assertEqual(self.title_for(10), "Hotkey: Super+`…")
        self.assertEqual(self.title_for(50), "Hotkey: Super+<…")

    def test_dead_keys_of_a_german_layout_are_named_by_their_accent_and_recorded(self):
        # German: dead circumflex left of 1, dead acute left of Backspace.
        self.addCleanup(self.remap, 49, "0x60", "0x7e")  # grave asciitilde
        self.addCleanup(self.remap, 21, "0x3d", "0x2b")  # equal plus
        self.remap(49, "0xfe52", "0xb0")  # dead_circumflex degree
        self.remap(21, "0xfe51", "0xfe50")  # dead_acute dead_grave
        self.assertEqual(self.title_for(10), "Hotkey: Super+^…")
        self.assertEqual(self.title_for(24), "Hotkey: Super+´…")

        os.remove(self.config("dusk", "settings.conf"))
        dusk = self.start(accessible=True)
        self.open_recorder(dusk)
        xdotool(self.session, "key", "ctrl+super+dead_acute")
        wait_until(lambda: "hotKeyCode=24\n" in self.stored(), what="the dead key recorded")
        self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Super+´…")


if __name__ == "__main__":
    unittest.main()
