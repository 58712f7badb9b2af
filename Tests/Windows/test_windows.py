"""Dusk for Windows end to end, under Wine's virtual desktop (see
wine_desktop.py). What Wine cannot show is not tested here: capture of the
shortcut across the whole system (Wine hands a hot key over only while one
of its windows has the keyboard) and the look of Windows 11."""

import os
import struct
import subprocess
import sys
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(__file__))
from wine_desktop import DUSK_EXE, PERSONALIZE, PROBE_EXE, RUN_KEY, WINE, WineDesktop, wait_until  # noqa: E402

LIGHT = ("REG_DWORD", "0x1")
DARK = ("REG_DWORD", "0x0")


class DesktopTestCase(unittest.TestCase):
    def setUp(self):
        self.desktop = WineDesktop()
        self.addCleanup(self.desktop.close)
        self.set_side(dark=False)

    def set_side(self, dark):
        # As Settings would: both values, and no word to Dusk.
        value = f"dword:{0 if dark else 1:08x}"
        self.desktop.reg_import(f"[{PERSONALIZE.replace('HKCU', 'HKEY_CURRENT_USER')}]\n"
                                f'"AppsUseLightTheme"={value}\n"SystemUsesLightTheme"={value}\n')

    def side(self):
        values = self.desktop.reg_values(PERSONALIZE)
        return values.get("AppsUseLightTheme"), values.get("SystemUsesLightTheme")

    def assert_side(self, side):
        self.assertEqual(self.side(), (side, side))

    def wait_for_side(self, side):
        wait_until(lambda: self.side() == (side, side), f"the registry at {side}")

    def launch(self):
        dusk = self.desktop.start_dusk()
        dusk.wait_for_log(r"RegisterHotKey .* status=")
        wait_until(self.desktop.tray_icon, "the tray icon")
        return dusk

    def wait_for_sun(self):
        # Near black on Wine's light taskbar: the sun of a Light taskbar.
        return wait_until(lambda: self.desktop.icon_darkness()[0] >= 20, "a near-black sun in the tray")

    def wait_for_moon(self):
        # White with a dark edge: the moon of a Dark taskbar.
        return wait_until(lambda: (lambda dark, any_dark: dark == 0 and any_dark >= 10)(*self.desktop.icon_darkness()),
                          "a white moon in the tray")

    def screenshot_for_docs(self, name, crop):
        folder = os.environ.get("DUSK_SCREENSHOTS")
        if folder:
            self.desktop.save_screenshot(os.path.join(folder, name), crop)

    def toggle_from_the_menu(self, side):
        """Opens the menu, keeps a picture of it with the icon below for the
        docs, and chooses its first item."""
        items, (x, y, w, h) = self.desktop.open_menu()
        self.assertEqual(len(items), 4)
        left = min(x, 1024 - 40) - 8
        self.screenshot_for_docs(f"windows-menu-{side}.png", f"{1024 - left}x{768 - y + 8}+{left}+{y - 8}")
        self.desktop.click(items[0])


class TrayAndMenu(DesktopTestCase):
    def test_the_icon_follows_the_side_and_the_menu_toggles_both_values(self):
        dusk = self.launch()
        self.wait_for_sun()
        self.screenshot_for_docs("windows-tray-light.png", "160x28+864+740")
        self.toggle_from_the_menu("light")  # Switch to Dark Mode
        dusk.wait_for_log(r"toggle succeeded, now dark=true")
        self.assert_side(DARK)
        self.wait_for_moon()
        self.screenshot_for_docs("windows-tray-dark.png", "160x28+864+740")
        self.toggle_from_the_menu("dark")  # Switch to Light Mode
        self.wait_for_side(LIGHT)
        self.wait_for_sun()

        # Changed elsewhere, without a broadcast: Dusk watches the key.
        self.set_side(dark=True)
        self.wait_for_moon()
        self.desktop.choose(0)
        self.wait_for_side(LIGHT)
        self.wait_for_sun()

    def test_quit_ends_the_process_and_takes_the_icon_away(self):
        dusk = self.launch()
        self.desktop.choose(3)  # Quit Dusk
        self.assertEqual(dusk.wait_for_exit(), 0)
        wait_until(lambda: self.desktop.tray_icon() is None, "the tray icon to go")


class Shortcut(DesktopTestCase):
    def test_ctrl_alt_win_d_toggles_and_a_recorded_shortcut_outlives_a_restart(self):
        dusk = self.launch()
        dusk.wait_for_log(r"RegisterHotKey vk=0x44 mods=0x400B .* status=0")
        self.desktop.press("ctrl+alt+super+d")
        self.wait_for_side(DARK)
        self.wait_for_moon()

        self.desktop.choose(1)  # Hotkey: Ctrl+Alt+Win+D…
        wait_until(lambda: any(w[4] == "Dusk Hotkey" for w in self.desktop.dusk_windows()), "the recorder")
        self.desktop.press("ctrl+alt+j")
        dusk.wait_for_log(r"RegisterHotKey vk=0x4A mods=0x4003 .* status=0")
        settings = os.path.join(self.desktop.appdata(), "Dusk", "settings.conf")
        wait_until(lambda: os.path.exists(settings), "the settings file")
        with open(settings) as file:
            text = file.read()
        self.assertIn("hotKeyCode=38\n", text)
        self.assertIn("hotKeyModifiers=786432\n", text)
        wait_until(lambda: not any(w[4] == "Dusk Hotkey" for w in self.desktop.dusk_windows()),
                   "the recorder to close")

        self.desktop.choose(3)  # Quit Dusk
        self.assertEqual(dusk.wait_for_exit(), 0)
        again = self.launch()
        again.wait_for_log(r"RegisterHotKey vk=0x4A mods=0x4003 .* status=0")
        self.desktop.press("ctrl+alt+j")
        self.wait_for_side(LIGHT)
        self.wait_for_sun()
        self.desktop.press("ctrl+alt+super+d")
        again.wait_for_log(r"hot key pressed")
        self.assertEqual(again.log().count("hot key pressed"), 1, "only the recorded keys are bound")

    def test_a_shortcut_another_program_holds_is_left_unbound_and_logged_with_windows_status(self):
        probe = subprocess.Popen([WINE, PROBE_EXE], env=self.desktop.env, stdout=subprocess.PIPE, text=True)
        self.addCleanup(probe.kill)
        self.assertEqual(probe.stdout.readline().strip(), "holding Ctrl+Alt+Win+D")
        dusk = self.desktop.start_dusk()
        # ERROR_HOTKEY_ALREADY_REGISTERED; the menu says "(not registered)".
        dusk.wait_for_log(r"RegisterHotKey vk=0x44 mods=0x400B .* status=1409")
        wait_until(self.desktop.tray_icon, "the tray icon all the same")


class LoginAndOneCopy(DesktopTestCase):
    def test_launch_at_login_is_the_run_key_and_wineboot_starts_the_one_copy(self):
        dusk = self.launch()
        self.desktop.choose(2)  # Launch at Login
        dusk.wait_for_log(r"launch at login enabled")
        kind, command = wait_until(lambda: self.desktop.reg_value(RUN_KEY, "Dusk"), "the Run value")
        self.assertEqual(kind, "REG_SZ")
        self.assertRegex(command, r'^"[A-Z]:\\.*\\dusk\.exe"$')

        second = self.desktop.start_dusk()
        self.assertEqual(second.wait_for_exit(), 0)
        self.assertIn("another Dusk instance is already running; quitting this one", second.log())
        self.assertIsNone(dusk.process.poll(), "the first copy runs on")

        self.desktop.choose(3)
        self.assertEqual(dusk.wait_for_exit(), 0)
        wait_until(lambda: self.desktop.tray_icon() is None, "the tray icon to go")
        # A login, as Wine simulates one: its startup runs the Run key.
        subprocess.run([WINE, "wineboot"], env=self.desktop.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120, check=True)
        wait_until(self.desktop.tray_icon, "Dusk started by the Run key", timeout=60)

        self.desktop.choose(2)  # Launch at Login, now checked: off again
        wait_until(lambda: self.desktop.reg_value(RUN_KEY, "Dusk") is None, "the Run value to go")


class Commands(DesktopTestCase):
    def test_each_command_answers_with_its_exit_status_and_the_registry_follows(self):
        status = self.desktop.command("status")
        self.assertEqual((status.returncode, status.stdout), (0, "light\n"))
        self.assertEqual(self.desktop.command("dark").returncode, 0)
        self.assert_side(DARK)
        self.assertEqual(self.desktop.command("status").stdout, "dark\n")
        self.assertEqual(self.desktop.command("dark").returncode, 0, "already Dark is no failure")
        self.assert_side(DARK)
        self.assertEqual(self.desktop.command("toggle").returncode, 0)
        self.assert_side(LIGHT)
        self.assertEqual(self.desktop.command("light").returncode, 0)
        self.assert_side(LIGHT)
        wrong = self.desktop.command("dusky")
        self.assertEqual(wrong.returncode, 2)
        self.assertIn("dusk: unknown command 'dusky'", wrong.stderr)
        version = self.desktop.command("--version")
        self.assertEqual((version.returncode, version.stdout), (0, "Dusk 1.0.0\n"))

    def test_a_running_copy_follows_a_command(self):
        self.launch()
        self.wait_for_sun()
        self.assertEqual(self.desktop.command("dark").returncode, 0)
        self.wait_for_moon()


class Package(DesktopTestCase):
    """What users install: the zip, and the installer run silently, as an
    administrator's script would, then the uninstaller."""

    UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Dusk"

    def test_the_zip_holds_the_program_and_its_licence(self):
        with zipfile.ZipFile(os.environ["DUSK_ZIP"]) as archive:
            self.assertEqual(sorted(archive.namelist()), ["LICENSE", "dusk.exe"])
            with open(DUSK_EXE, "rb") as built:
                self.assertEqual(archive.read("dusk.exe"), built.read())

    def test_the_icon_holds_every_size_windows_asks_for(self):
        with open(os.environ["DUSK_ICON"], "rb") as file:
            header = file.read(6 + 16 * 8)
        reserved, kind, count = struct.unpack_from("<HHH", header)
        self.assertEqual((reserved, kind), (0, 1), "an icon file")
        sizes = sorted(header[6 + 16 * i] or 256 for i in range(count))
        self.assertEqual(sizes, [16, 20, 24, 32, 40, 48, 64, 256])

    def test_the_installer_installs_for_the_user_and_the_uninstaller_takes_everything_but_the_settings(self):
        self.assertEqual(self.desktop.wine(os.environ["DUSK_INSTALLER"], "/S", timeout=120).returncode, 0)
        folder = os.path.join(self.desktop.prefix, "drive_c", "users", os.environ.get("USER", "root"), "AppData",
                              "Local", "Programs", "Dusk")
        installed = os.path.join(folder, "dusk.exe")
        wait_until(lambda: os.path.exists(os.path.join(folder, "uninstall.exe")), "the uninstaller")
        with open(installed, "rb") as copy, open(DUSK_EXE, "rb") as built:
            self.assertEqual(copy.read(), built.read())
        values = self.desktop.reg_values(self.UNINSTALL_KEY)
        self.assertEqual(values["DisplayName"], ("REG_SZ", "Dusk"))
        self.assertEqual(values["DisplayVersion"], ("REG_SZ", "1.0.0"))
        status = subprocess.run([WINE, installed, "status"], env=self.desktop.env, capture_output=True, text=True,
                                timeout=60)
        self.assertEqual((status.returncode, status.stdout), (0, "light\n"))

        self.desktop.reg("add", RUN_KEY, "/v", "Dusk", "/d", f'"{installed}"', "/f")
        settings = os.path.join(self.desktop.appdata(), "Dusk")
        os.makedirs(settings, exist_ok=True)
        with open(os.path.join(settings, "settings.conf"), "w") as file:
            file.write("hotKeyCode=38\n")
        # The uninstaller copies itself away and runs from there: wait for the folder to go.
        self.assertEqual(self.desktop.wine(os.path.join(folder, "uninstall.exe"), "/S", timeout=120).returncode, 0)
        wait_until(lambda: not os.path.exists(folder), "the program's folder to go", timeout=60)
        self.assertEqual(self.desktop.reg_values(self.UNINSTALL_KEY), {})
        self.assertIsNone(self.desktop.reg_value(RUN_KEY, "Dusk"))
        self.assertTrue(os.path.exists(os.path.join(settings, "settings.conf")), "the user's settings stay")


if __name__ == "__main__":
    unittest.main()
