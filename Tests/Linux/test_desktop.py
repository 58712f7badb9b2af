#!/usr/bin/python3
"""Dusk on a real (virtual) Linux desktop, driven the way a desktop shell and
a user drive it. Each test class gets its own session (see session.py).

DUSK_EXECUTABLE names the built program; DUSK_BUILD_DIR its build tree, for
`cmake --install`."""

import glob
import os
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import dbus  # noqa: E402
from portal import REAL_PORTALS, no_portal, real_portals  # noqa: E402
from session import Session, SessionTestCase, contrast, wait_until  # noqa: E402

DUSK = os.environ.get("DUSK_EXECUTABLE", "")
BUILD_DIR = os.environ.get("DUSK_BUILD_DIR", "")
X11_PEER = os.environ.get("DUSK_X11_PEER", "")


def installed_prefix(executable):
    """The prefix of an installed copy (<prefix>/bin/dusk beside
    <prefix>/share/applications/app.dusk.Dusk.desktop, as Dusk itself tells),
    or None for a build tree's."""
    prefix = os.path.dirname(os.path.dirname(os.path.realpath(executable)))
    return prefix if os.path.isfile(os.path.join(prefix, "share", "applications", "app.dusk.Dusk.desktop")) else None


# A package's copy, such as /usr/bin/dusk, is tested where it lies.
INSTALLED = bool(DUSK) and installed_prefix(DUSK) is not None

LIGHT_TIP = "Dusk – switch to Dark Mode"
DARK_TIP = "Dusk – switch to Light Mode"
SECOND_COPY_LINE = "another Dusk instance is already running; quitting this one"
PORTAL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "portal.py")


def gio_loaded(dusk):
    """GIO, which Dusk needs for GSettings only."""
    with open(f"/proc/{dusk.process.pid}/maps") as maps:
        return "libgio-2.0" in maps.read()


class TrayAndAppearance(SessionTestCase):
    """GNOME's setting, followed where no portal answers and where one does
    (portal.py playing xdg-desktop-portal-gtk: GNOME's setting, announced
    when it changes); no other portal answers in this session."""

    def start_gnome_portal(self):
        portal = self.session.spawn([sys.executable, PORTAL, "gnome"], stdout=subprocess.PIPE, text=True)
        self.assertEqual(portal.stdout.readline().strip(), "ready")
        portal.stdout.close()
        self.addCleanup(lambda: (portal.terminate(), portal.wait()))

    def test_tray_item_follows_gnome_and_its_menu_toggles_it(self):
        dusk = self.start()
        self.assertEqual(dusk.tooltip(), LIGHT_TIP)
        self.assertEqual(dusk.icon_name(), "dusk-sun-symbolic")
        self.assertEqual(dusk.titles(),
                         ["Switch to Dark Mode", "Hotkey: Ctrl+Alt+Super+D…", "-", "Launch at Login", "-", "Quit Dusk"])

        # Changed from outside, as GNOME's own switch would.
        self.session.set_color_scheme("prefer-dark")
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the dark tooltip")
        self.assertEqual(dusk.icon_name(), "dusk-moon-symbolic")
        self.assertEqual(dusk.titles()[0], "Switch to Light Mode")

        dusk.click("Switch to Light Mode")
        wait_until(lambda: self.session.color_scheme() == "'default'", what="GNOME's setting to turn light")
        wait_until(lambda: dusk.tooltip() == LIGHT_TIP, what="the light tooltip")
        dusk.wait_for_log("toggle requested, currently dark=true")
        dusk.wait_for_log("toggle succeeded, now dark=false")

        dusk.click("Switch to Dark Mode")
        wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="GNOME's setting to turn dark")
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the dark tooltip again")

        # A whole folder reset, as dconf announces it: the folder, not the key.
        subprocess.run(["dconf", "reset", "-f", "/org/gnome/desktop/"], env=self.session.env, check=True)
        wait_until(lambda: dusk.tooltip() == LIGHT_TIP, what="the light tooltip after a folder reset")

    def test_gnome_is_followed_without_gio_until_the_first_write(self):
        # Where a portal answers for GNOME's setting, it is all Dusk needs to
        # follow it; GIO, a tenth of the start, comes with the first toggle's
        # write.
        self.start_gnome_portal()
        dusk = self.start()
        self.session.set_color_scheme("prefer-dark")
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the dark tooltip, from the portal")
        subprocess.run(["dconf", "reset", "-f", "/org/gnome/desktop/"], env=self.session.env, check=True)
        wait_until(lambda: dusk.tooltip() == LIGHT_TIP, what="the light tooltip, from the portal")
        self.assertFalse(gio_loaded(dusk))
        dusk.click("Switch to Dark Mode")
        wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="GNOME's setting to turn dark")
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the dark tooltip after the toggle")
        self.assertTrue(gio_loaded(dusk))
        # The portal still speaks for GNOME's setting.
        self.session.set_color_scheme("default")
        wait_until(lambda: dusk.tooltip() == LIGHT_TIP, what="the light tooltip, from the portal again")

    def test_gnome_is_still_followed_where_gsettings_lacks_the_schema(self):
        # The toggle needs GNOME's schema and fails without it; following the
        # setting through the portal does not, and goes on after that failure.
        empty = os.path.join(self.session.root, "no-schemas")
        os.makedirs(empty, exist_ok=True)
        self.start_gnome_portal()
        dusk = self.start(env={"XDG_DATA_DIRS": empty})
        self.session.set_color_scheme("prefer-dark")
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the dark tooltip, from the portal")
        dusk.click("Switch to Light Mode")
        dusk.wait_for_log("is not installed")
        self.assertEqual(self.session.color_scheme(), "'prefer-dark'")
        self.session.set_color_scheme("default")
        wait_until(lambda: dusk.tooltip() == LIGHT_TIP, what="the light tooltip after the failed toggle")
        self.session.set_color_scheme("prefer-dark")
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the dark tooltip after the failed toggle")

    @unittest.skipIf(INSTALLED, "an installed copy can launch at login (InstalledCopy)")
    def test_launch_at_login_from_the_build_tree_explains_itself_in_an_alert(self):
        dusk = self.start(accessible=True)
        dusk.click("Launch at Login")
        alert = lambda: xdotool(self.session, "search", "--onlyvisible", "--name", "^Dusk$").stdout.split()
        windows = wait_until(alert, what="the alert")
        # The message is the platform's description of the error, the
        # informative text how to get a copy that can; one button.
        message = "This copy of Dusk is not installed, so it cannot launch at login."
        advice = ("Launch at Login only works for an installed Dusk: install the dusk package, or run cmake "
                  "--install build/default --prefix ~/.local and start ~/.local/bin/dusk.")
        texts = wait_until(lambda: (found := dusk.window_texts()) and {message, advice, "OK"} <= set(found) and found,
                           what="the alert's texts")
        self.assertEqual([text for text in texts if text in ("OK", "Cancel")], ["OK"])
        xdotool(self.session, "windowfocus", "--sync", windows[0])
        xdotool(self.session, "key", "Return")
        wait_until(lambda: not alert(), what="Return to dismiss the alert")
        self.assertFalse(os.path.exists(self.config("autostart", "app.dusk.Dusk.desktop")))
        self.assertFalse(dusk.checked("Launch at Login"))

    def test_quit_ends_the_process(self):
        dusk = self.start()
        dusk.click("Quit Dusk")
        self.assertEqual(dusk.wait_exit(), 0)


class Portal(SessionTestCase):
    """Where the freedesktop portal runs, it alone says Light or Dark, and its
    SettingChanged signal is the change notification. GNOME's setting, left
    at "default", must not matter. The portal is portal.py; Debian's own
    portals are in test_real_desktops.py."""

    def start_portal(self, value, *flags):
        portal = self.session.spawn([sys.executable, os.path.join(os.path.dirname(__file__), "portal.py"), str(value),
                                     *flags], stdout=subprocess.PIPE, text=True)
        self.assertEqual(portal.stdout.readline().strip(), "ready")
        portal.stdout.close()
        return portal

    def set_portal(self, value):
        peer = self.session.bus.get_object("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop")
        dbus.Interface(peer, "org.dusk.Test").SetColorScheme(dbus.UInt32(value))

    def check_follows_portal(self, *flags):
        portal = self.start_portal(1, *flags)
        try:
            dusk = self.start()  # stopped by tearDown
            # Read without blocking: the answer may come after the item registers.
            wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the portal's dark at start")
            self.set_portal(2)  # prefer light
            wait_until(lambda: dusk.tooltip() == LIGHT_TIP, what="the portal's light")
            self.set_portal(1)
            wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the portal's dark")
            self.set_portal(0)  # no preference reads as light
            wait_until(lambda: dusk.tooltip() == LIGHT_TIP, what="no preference")
        finally:
            portal.terminate()
            portal.wait()

    def test_follows_the_portal_through_read_one(self):
        self.check_follows_portal()

    def test_follows_an_older_portal_through_read(self):
        self.check_follows_portal("--old")


class StoredSettings(SessionTestCase):
    def write_settings(self, text):
        os.makedirs(self.config("dusk"), exist_ok=True)
        with open(self.config("dusk", "settings.conf"), "w") as file:
            file.write(text)

    def tearDown(self):
        super().tearDown()
        for path in glob.glob(self.config("dusk", "*")):
            os.remove(path)

    def test_stored_and_cleared_shortcuts_are_read_back(self):
        self.write_settings("hotKeyCode=40\nhotKeyModifiers=1179648\n")
        dusk = self.start()
        self.assertEqual(dusk.titles()[1], "Hotkey: Shift+Super+K…")
        dusk.stop()
        self.write_settings("hotKeyCode=-1\nhotKeyModifiers=0\n")
        self.assertEqual(self.start().titles()[1], "Set Hotkey…")

    def test_a_corrupt_file_is_kept_aside_logged_and_does_not_stop_dusk(self):
        garbage = "hotKeyCode=forty\n\x00\x01 not a settings file\n"
        self.write_settings(garbage)
        dusk = self.start()
        self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+D…")
        asides = glob.glob(self.config("dusk", "settings.conf.corrupt-*"))
        self.assertEqual(len(asides), 1)
        with open(asides[0]) as file:
            self.assertEqual(file.read(), garbage)
        dusk.wait_for_log("is not a settings file; kept aside as " + asides[0])
        self.assertFalse(os.path.exists(self.config("dusk", "settings.conf")))


@unittest.skipUnless(BUILD_DIR or INSTALLED, "needs DUSK_BUILD_DIR to install Dusk")
class InstalledCopy(SessionTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if INSTALLED:
            cls.installed = DUSK
            return
        # What the Desktop Entry rules make special, in one path. CMake would
        # read the backslash as a separator, so the installed tree is moved
        # there afterwards, as a user may move it. No "%": GLib checks that
        # the program exists before it expands "%%" (FormatsTests cover it).
        staging = os.path.join(cls.session.root, "staging")
        subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", staging], check=True,
                       stdout=subprocess.DEVNULL, timeout=120)
        cls.prefix = os.path.join(cls.session.root, 'Dusk "apps" $HOME `x` \\ it\'s')
        os.rename(staging, cls.prefix)
        cls.installed = os.path.join(cls.prefix, "bin", "dusk")

    def autostart(self):
        return self.config("autostart", "app.dusk.Dusk.desktop")

    def test_a_second_copy_logs_and_quits_leaving_the_first_alone(self):
        first = self.start(self.installed)
        second = self.start(self.installed, wait_for_tray=False)
        self.assertEqual(second.wait_exit(), 0)
        second.wait_for_log(SECOND_COPY_LINE)
        self.assertIsNone(first.process.poll())
        self.assertEqual(len(self.session.registered_items()), len(set(self.session.registered_items())))
        self.assertEqual(first.tooltip(), LIGHT_TIP)

    def test_launch_at_login_writes_an_entry_that_starts_this_program_and_removes_it(self):
        dusk = self.start(self.installed)
        self.assertFalse(dusk.checked("Launch at Login"))
        dusk.click("Launch at Login")
        wait_until(lambda: os.path.exists(self.autostart()), what="the autostart entry")
        self.assertTrue(dusk.checked("Launch at Login"))

        # The desktop's own launcher reads the Exec line: what it starts is
        # this installed copy, which finds the running one and quits.
        items_before = len(self.session.registered_items())
        launched = subprocess.run(["gio", "launch", self.autostart()], env=self.session.env, capture_output=True,
                                  text=True, timeout=20)
        self.assertEqual(launched.returncode, 0, launched.stderr)
        # The launched copy inherits gio's standard error and holds it open
        # until it quits, so its line is there by now.
        self.assertIn(SECOND_COPY_LINE, launched.stderr)
        self.assertEqual(len(self.session.registered_items()), items_before)

        dusk.click("Launch at Login")
        wait_until(lambda: not os.path.exists(self.autostart()), what="the entry to go")
        self.assertFalse(dusk.checked("Launch at Login"))



def xdotool(session, *args):
    return subprocess.run(["xdotool", *args], env=session.env, capture_output=True, text=True, timeout=20)


class Peer:
    """x11_peer in one of its modes, running until the test ends."""

    def __init__(self, session, *args):
        self.process = session.spawn([X11_PEER, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.lines = []
        first = self.process.stdout.readline().strip()
        if first != "ready":
            raise AssertionError(f"x11_peer {' '.join(args)}: {first}")

    def count(self, line):
        # Reads what has arrived without blocking: the peer flushes per line.
        import select
        while select.select([self.process.stdout], [], [], 0)[0]:
            text = self.process.stdout.readline()
            if not text:
                break
            self.lines.append(text.strip())
        return self.lines.count(line)

    def stop(self):
        self.process.stdin.close()
        self.process.terminate()
        self.process.wait(timeout=5)
        self.process.stdout.close()


PRESS = "ctrl+alt+super+d"
# Control, Mod1 (Alt) and Mod4 (Super) on X's default keymap; D is keycode 40.
D_KEYCODE, CONTROL_ALT_SUPER = "40", "76"


@unittest.skipUnless(X11_PEER, "needs DUSK_X11_PEER")
class GlobalShortcut(SessionTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # No shortcuts portal, whatever this machine has installed
        # (xdg-desktop-portal-kde offers one).
        no_portal(cls.session)
    def press_and_expect(self, dusk, keys, scheme):
        xdotool(self.session, "key", keys)
        wait_until(lambda: self.session.color_scheme() == scheme, what=f"{keys} to make it {scheme}")

    def test_each_press_toggles_once_with_or_without_caps_lock_and_num_lock(self):
        dusk = self.start()
        self.press_and_expect(dusk, PRESS, "'prefer-dark'")
        self.press_and_expect(dusk, PRESS, "'default'")
        for lock in ("Caps_Lock", "Num_Lock"):
            xdotool(self.session, "key", lock)
            self.press_and_expect(dusk, PRESS, "'prefer-dark'")
            self.press_and_expect(dusk, PRESS, "'default'")
            xdotool(self.session, "key", lock)
        self.assertEqual(dusk.wait_for_log("toggle requested", count=6).count("toggle requested"), 6)
        received = "hotkey event received from the X server"
        self.assertEqual(dusk.wait_for_log(received, count=6).count(received), 6)

    def test_a_combination_another_client_holds_is_reported_not_hidden(self):
        holder = Peer(self.session, "grab", D_KEYCODE, CONTROL_ALT_SUPER)
        try:
            dusk = self.start()
            log = dusk.wait_for_log("XGrabKey ⌃⌥⌘D code=2 mods=6400 status=10")
            self.assertIn("another X client (another application, or another copy of Dusk) holds these keys", log)
            self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+D (not registered)…")
        finally:
            holder.stop()


    def test_without_an_x_display_registration_fails_and_says_why(self):
        # A Wayland session with no XWayland, played by Qt's offscreen
        # platform: there is nothing to grab keys from, and Dusk must not
        # pretend otherwise.
        env = {key: value for key, value in self.session.env.items() if key != "DISPLAY"}
        env.update({"WAYLAND_DISPLAY": "wayland-dusk-test", "QT_QPA_PLATFORM": "offscreen"})
        log = os.path.join(self.session.root, "wayland.log")
        with open(log, "w") as stderr:
            process = subprocess.Popen([DUSK], env=env, stdout=subprocess.DEVNULL, stderr=stderr)
        try:
            wait_until(lambda: "BindShortcuts" in Session.read(log), what="the registration")
            self.assertRegex(Session.read(log), r"BindShortcuts ⌃⌥⌘.+ code=2 mods=6400 status=-1")
            # Said before the registration's own line, so it is there by now.
            self.assertIn("global shortcuts need an X11 display", Session.read(log))
        finally:
            process.terminate()
            process.wait(timeout=5)


@unittest.skipUnless(X11_PEER, "needs DUSK_X11_PEER")
class Recorder(SessionTestCase):
    TITLE = "^Dusk Hotkey$"

    def tearDown(self):
        super().tearDown()
        settings = self.config("dusk", "settings.conf")
        if os.path.exists(settings):
            os.remove(settings)

    def recorder_visible(self):
        return xdotool(self.session, "search", "--onlyvisible", "--name", self.TITLE).stdout.strip() != ""

    def open_recorder(self, dusk):
        dusk.click("Hotkey: Ctrl+Alt+Super+D…")
        wait_until(self.recorder_visible, what="the recorder window")
        # Keys go where the focus is: the window must have it.
        wait_until(lambda: xdotool(self.session, "getwindowfocus", "getwindowname").stdout.strip() == "Dusk Hotkey",
                   what="the recorder to have the keyboard")

    def stored(self):
        return Session.read(self.config("dusk", "settings.conf"))

    def text_contrast(self, window, geometry):
        """The contrast ratio (WCAG 2) of the text in a strip of the window,
        as the screen shows it: the window behind is the strip's commonest
        colour, the text the median of its strokes (every pixel at least
        half as far from it as the farthest), the faint anti-aliased fringe
        left aside."""
        raw = subprocess.run(["import", "-window", window, "-crop", geometry, "-depth", "8", "rgb:-"],
                             env=self.session.env, capture_output=True, check=True).stdout
        pixels = [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]
        behind = max(set(pixels), key=pixels.count)
        distance = [sum((a - b) ** 2 for a, b in zip(pixel, behind)) for pixel in pixels]
        core = sorted(pixel for pixel, far in zip(pixels, distance) if far >= 0.5 * max(distance) and far > 0)
        return contrast(tuple(sorted(channel)[len(channel) // 2] for channel in zip(*core)), behind)

    def test_the_prompt_and_the_shortcut_in_effect_read_at_four_and_a_half_to_one(self):
        # Where the window's fixed layout puts them: the prompt's two lines
        # at the top, the shortcut in effect under the box.
        strips = {"the prompt": "300x36+20+10", "the shortcut in effect": "300x20+20+104"}
        for scheme in ("default", "prefer-dark"):
            self.session.set_color_scheme(scheme)
            dusk = self.start()
            self.open_recorder(dusk)
            window = xdotool(self.session, "search", "--onlyvisible", "--name", self.TITLE).stdout.split()[0]
            for name, geometry in strips.items():
                with self.subTest(scheme=scheme, text=name):
                    # Drawn once the window is up; read until it is.
                    wait_until(lambda: self.text_contrast(window, geometry) >= 4.5, timeout=5,
                               what=lambda: f"{name} at 4.5:1 (now {self.text_contrast(window, geometry):.2f}:1)")
            dusk.stop()

    def test_records_shift_super_k_registers_it_and_keeps_it_across_a_restart(self):
        dusk = self.start()
        self.open_recorder(dusk)
        # Caps Lock is no part of a shortcut: on while recording, it is not stored.
        xdotool(self.session, "key", "Caps_Lock")
        self.addCleanup(xdotool, self.session, "key", "Caps_Lock")
        xdotool(self.session, "key", "shift+super+k")
        # Both integers, 0x120000 for the modifiers: the store may write them
        # one at a time, so the pair is awaited, not read once.
        wait_until(lambda: "hotKeyCode=40\n" in self.stored() and "hotKeyModifiers=1179648\n" in self.stored(),
                   what=lambda: f"the stored shortcut in {self.stored()!r}")
        wait_until(lambda: not self.recorder_visible(), what="the window to close")
        dusk.wait_for_log("XGrabKey ⇧⌘K code=40 mods=768 status=0")
        self.assertEqual(dusk.titles()[1], "Hotkey: Shift+Super+K…")

        dusk.stop()
        again = self.start()
        self.assertEqual(again.titles()[1], "Hotkey: Shift+Super+K…")
        xdotool(self.session, "key", "shift+super+k")
        wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="the recorded shortcut to toggle")

    def test_clear_hotkey_forgets_the_shortcut_and_closes_the_window(self):
        dusk = self.start(accessible=True)
        self.open_recorder(dusk)
        dusk.press_button("Clear Hotkey")
        wait_until(lambda: not self.recorder_visible(), what="the window to close")
        wait_until(lambda: "hotKeyCode=-1\n" in self.stored(), what=lambda: f"no shortcut in {self.stored()!r}")
        self.assertEqual(dusk.titles()[1], "Set Hotkey…")
        # Dusk let go of the combination: another client can take it now.
        Peer(self.session, "grab", D_KEYCODE, CONTROL_ALT_SUPER).stop()

    def test_a_letter_alone_beeps_and_escape_restores_the_previous_shortcut(self):
        bells = Peer(self.session, "bells")
        try:
            dusk = self.start(accessible=True)
            self.open_recorder(dusk)
            self.assertEqual(dusk.window_texts(), [
                "Press the shortcut you want to use to toggle Light/Dark mode.", "Press a shortcut",
                "Current: Ctrl+Alt+Super+D", "Clear Hotkey", "Cancel"])
            # 340 by 170, centred on the 1024 by 768 screen.
            window = xdotool(self.session, "search", "--onlyvisible", "--name", self.TITLE).stdout.split()[0]
            geometry = dict(line.split("=") for line in
                            xdotool(self.session, "getwindowgeometry", "--shell", window).stdout.split())
            self.assertEqual((geometry["WIDTH"], geometry["HEIGHT"]), ("340", "170"))
            self.assertEqual((geometry["X"], geometry["Y"]), (str((1024 - 340) // 2), str((768 - 170) // 2)))
            # Modifiers held show live; released, the prompt returns.
            xdotool(self.session, "keydown", "shift", "keydown", "super")
            wait_until(lambda: "Shift+Super+…" in dusk.window_texts(), what="the live modifiers")
            xdotool(self.session, "keyup", "super", "keyup", "shift")
            wait_until(lambda: "Press a shortcut" in dusk.window_texts(), what="the prompt again")
            xdotool(self.session, "key", "k")
            wait_until(lambda: bells.count("bell") == 1, what="the bell")
            wait_until(lambda: "Add Super, Alt, or Ctrl" in dusk.window_texts(), what="the hint")
            self.assertTrue(self.recorder_visible())
            self.assertEqual(self.stored(), "")

            xdotool(self.session, "key", "Escape")
            wait_until(lambda: not self.recorder_visible(), what="Escape to close the window")
            # Registered at launch, then again when the window closed.
            wait_until(lambda: dusk.log().count("XGrabKey ⌃⌥⌘D code=2 mods=6400 status=0") == 2,
                       what="the shortcut to be registered again")
            xdotool(self.session, "key", PRESS)
            wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="the restored shortcut")
            self.assertEqual(bells.count("bell"), 1)
        finally:
            bells.stop()


@unittest.skipUnless(X11_PEER, "needs DUSK_X11_PEER")
class KeyNames(SessionTestCase):
    def tearDown(self):
        super().tearDown()
        os.remove(self.config("dusk", "settings.conf"))

    def store(self, code):
        os.makedirs(self.config("dusk"), exist_ok=True)
        with open(self.config("dusk", "settings.conf"), "w") as file:
            file.write(f"hotKeyCode={code}\nhotKeyModifiers=1048576\n")  # Command

    def shortcut_title(self, code):
        self.store(code)
        dusk = self.start()
        title = dusk.titles()[1]
        dusk.stop()
        return title

    def remap(self, keycode, *keysyms):
        # setxkbmap leaves this Xvfb's keymap as it was; a core mapping change
        # reaches the server's XKB keymap, which is what Dusk reads.
        result = subprocess.run([X11_PEER, "map", str(keycode), *keysyms], env=self.session.env,
                                capture_output=True, text=True, timeout=20)
        self.assertEqual(result.stdout.strip(), "ready", result.stdout)

    def test_names_come_from_the_server_keymap_or_the_fixed_table(self):
        # The X server's keymap, not a table of Dusk's: Y, -, ; and ' sit
        # where the US layout puts them.
        self.assertEqual(self.shortcut_title(16), "Hotkey: Super+Y…")
        self.assertEqual(self.shortcut_title(27), "Hotkey: Super+-…")
        self.assertEqual(self.shortcut_title(41), "Hotkey: Super+;…")
        self.assertEqual(self.shortcut_title(39), "Hotkey: Super+'…")
        self.assertEqual(self.shortcut_title(82), "Hotkey: Super+0…")  # keypad 0
        self.assertEqual(self.shortcut_title(122), "Hotkey: Super+F1…")
        # A code no keyboard has: no name, and no X keycode to grab either.
        self.assertEqual(self.shortcut_title(52), "Hotkey: Super+Key 52 (not registered)…")

    def test_names_follow_a_german_layout_with_full_unicode_upper_case(self):
        self.store(16)
        dusk = self.start()
        self.assertEqual(dusk.titles()[1], "Hotkey: Super+Y…")
        # The German layout's letters on the keys of codes 16, 27 and 41; the
        # US ones come back afterwards.
        self.addCleanup(self.remap, 29, "0x79", "0x59")
        self.addCleanup(self.remap, 20, "0x2d", "0x5f")
        self.addCleanup(self.remap, 47, "0x3b", "0x3a")
        self.remap(29, "0x7a", "0x5a")  # z Z
        self.remap(20, "0xdf", "0x3f")  # ssharp question
        self.remap(47, "0xf6", "0xd6")  # odiaeresis Odiaeresis
        # Read afresh each time the menu opens: no restart needed.
        self.assertEqual(dusk.titles()[1], "Hotkey: Super+Z…")
        dusk.stop()
        self.assertEqual(self.shortcut_title(27), "Hotkey: Super+SS…")
        self.assertEqual(self.shortcut_title(41), "Hotkey: Super+Ö…")


class WithoutADisplay(unittest.TestCase):
    def test_says_so_in_one_line_and_fails(self):
        env = {key: value for key, value in os.environ.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
        result = subprocess.run([DUSK], env=env, capture_output=True, text=True, timeout=20)
        self.assertNotEqual(result.returncode, 0)
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
        self.assertIn("no graphical display", result.stderr)

        env["DISPLAY"] = ":4095"  # nothing listens there
        result = subprocess.run([DUSK], env=env, capture_output=True, text=True, timeout=20)
        self.assertNotEqual(result.returncode, 0)
        self.assertEqual(result.stderr, "dusk: cannot open the X display :4095\n")


if __name__ == "__main__":
    unittest.main()
