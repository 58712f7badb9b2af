#!/usr/bin/python3
"""What Dusk does with the files in a user's home that it reads, as that
user: the user's own backups beside its settings, a settings file kept as a
link by a dotfiles manager, lines Dusk does not own, a FIFO or a link to
/dev/zero wherever Dusk reads, and autostart entries that say "do not start".

Real components: Xvfb, dbus-daemon, dconf, xdotool, GLib's desktop-entry
reader (the one GNOME's session starts autostart entries with), setpriv. The
tray host is session.py's tray_host.py.

Root reads and writes where a user may not, so run as root this file runs
itself again as nobody, with an installed copy of Dusk (only an installed
copy may launch at login) made from DUSK_BUILD_DIR first.

DUSK_EXECUTABLE names the built (or installed) program."""

import contextlib
import glob
import os
import signal
import subprocess
import sys
import time
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from gi.repository import Gio, GLib  # noqa: E402
from session import PYTHON, Session, rss_kib, run_as_nobody, wait_until  # noqa: E402
from test_desktop import installed_prefix  # noqa: E402
from test_settings import (NEW, NEW_TITLE, OLD, OLD_TITLE, UNFINISHED, SettingsTestCase, parse,  # noqa: E402
                           settings_text)

DUSK = os.environ.get("DUSK_EXECUTABLE", "")
BUILD_DIR = os.environ.get("DUSK_BUILD_DIR", "")
INSTALLED = bool(DUSK) and installed_prefix(DUSK) is not None
LEFTOVER_PREFIX = ".settings.conf.dusk-unfinished-save-"
LAUNCH_AT_LOGIN = "Launch at Login"


class UsersOwnLines(SettingsTestCase):
    def test_the_users_backups_survive_ten_starts_and_only_dusks_own_leftover_goes(self):
        self.write_settings(settings_text(OLD))
        backups = {name: f"the user's {name}\n" for name in
                   ("settings.conf.backup", "settings.conf.bak001", "settings.conf.ORIG12")}
        for name, text in backups.items():
            with open(self.dusk_config(name), "w") as file:
                file.write(text)
        leftover = self.dusk_config(LEFTOVER_PREFIX + "a1B2c3")
        with open(leftover, "w") as file:
            file.write("hotKeyCode=1\n")
        for start in range(10):
            dusk = self.start()
            self.assertEqual(dusk.titles()[1], OLD_TITLE)
            dusk.stop()
            self.assertEqual(dusk.log().count(UNFINISHED), 1 if start == 0 else 0, dusk.log())
        self.assertFalse(os.path.exists(leftover))
        self.assertIn(f"removed {leftover}, {UNFINISHED}", self.session.read(self.running[0].log_path))
        for name, text in backups.items():
            self.assertEqual(self.session.read(self.dusk_config(name)), text, name)
        self.assertEqual(self.stored(), OLD)

    def test_a_linked_settings_file_keeps_its_link_and_the_users_lines_a_save_does_not_own(self):
        # As GNU Stow links a file: a relative link into the user's dotfiles.
        dotfiles = os.path.join(self.session.env["HOME"], "dotfiles", "dusk", ".config", "dusk")
        os.makedirs(dotfiles, exist_ok=True)
        target = os.path.join(dotfiles, "settings.conf")
        mine = "# my shortcut, see ~/notes\nhotKeyCode=40\n\n# the colour I like\nfavouriteColour=3\n"
        with open(target, "w") as file:
            file.write(mine + "hotKeyModifiers=1179648\n")
        link = os.path.relpath(target, self.dusk_config())
        os.symlink(link, self.settings())

        dusk = self.start()
        self.record_new_shortcut(dusk, OLD_TITLE)
        wait_until(lambda: parse(self.session.read(target)).get("hotKeyCode") == NEW["hotKeyCode"],
                   what="the save into the linked file")
        self.assertEqual(os.readlink(self.settings()), link)
        saved = self.session.read(target)
        self.assertEqual(saved, mine.replace("hotKeyCode=40", "hotKeyCode=38") + "hotKeyModifiers=786432\n")
        for folder in (dotfiles, self.dusk_config()):
            self.assertEqual(glob.glob(os.path.join(folder, LEFTOVER_PREFIX + "*")), [], folder)
        dusk.stop()
        self.assertEqual(self.start().titles()[1], NEW_TITLE)


def autostart_off_for_glib(path):
    """Whether GLib's reader, as GNOME's session uses it, leaves the entry
    unstarted: not loadable (its TryExec or Exec program missing), hidden, or
    switched off."""
    try:
        entry = Gio.DesktopAppInfo.new_from_filename(path)
    except TypeError:  # GLib's NULL: an entry it would not load
        return True
    return (entry.get_is_hidden() or
            (entry.has_key("X-GNOME-Autostart-enabled") and not entry.get_boolean("X-GNOME-Autostart-enabled")))


class InstalledTestCase(SettingsTestCase):
    """Tests of an installed copy, with the paths of the files it reads."""

    @classmethod
    def setUpClass(cls):
        if not INSTALLED:
            raise unittest.SkipTest("needs an installed DUSK_EXECUTABLE (as root, the file installs one)")
        super().setUpClass()

    def setUp(self):
        super().setUp()
        if os.path.lexists(self.autostart()):
            os.remove(self.autostart())

    def autostart(self):
        return self.config("autostart", "app.dusk.Dusk.desktop")

    def told(self):
        return os.path.join(self.session.env["HOME"], ".local", "state", "dusk", "no-tray-notified")

    def make(self, path, kind):
        """A FIFO, or a link to /dev/zero, in place of the file at `path`."""
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if os.path.lexists(path):
            os.remove(path)
        os.mkfifo(path) if kind == "FIFO" else os.symlink("/dev/zero", path)


class TraylessSession(Session):
    def __init__(self):
        super().__init__(tray_host=False)


class NotRegularFiles(InstalledTestCase):
    """Dusk reads its settings and its autostart entry as it starts and,
    where there is no tray, the list of desktops it has told so five seconds
    later."""

    session_kind = TraylessSession

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.notifications = os.path.join(cls.session.root, "notifications.log")
        with open(cls.notifications, "w") as log:
            cls.session.spawn([PYTHON, os.path.join(HERE, "notification_server.py")], stdout=log)
        wait_until(lambda: "ready" in Session.read(cls.notifications), what="the notification server")

    def test_a_fifo_or_dev_zero_wherever_dusk_reads_costs_one_line_each_and_nothing_else(self):
        for started, kind in enumerate(("FIFO", "link to /dev/zero"), start=1):
            with self.subTest(kind):
                self.empty_config()
                self.session.set_color_scheme("default")
                for path in (self.settings(), self.autostart(), self.told()):
                    self.make(path, kind)
                dusk = self.start(wait_for_tray=False)
                lines = [f"{self.settings()} could not be read (not a regular file); kept aside as",
                         f"{self.autostart()} is ignored: not a regular file",
                         f"{self.told()} is ignored: not a regular file"]
                for line in lines:
                    dusk.wait_for_log(line, timeout=20)
                # The loop is not stuck in a read: the shortcut toggles.
                subprocess.run(["xdotool", "key", "ctrl+alt+super+d"], env=self.session.env, check=True, timeout=20)
                wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="the shortcut to toggle")
                held = rss_kib(dusk.process.pid)
                time.sleep(1)
                self.assertLess(rss_kib(dusk.process.pid) - held, 2048, "KiB more after a second")
                for line in lines:
                    self.assertEqual(dusk.log().count(line), 1, line)
                # The user is still told that there is no tray, each time.
                wait_until(lambda: Session.read(self.notifications).count("without a tray icon") == started,
                           what="the notification")
                for path in (self.autostart(), self.told()):
                    self.assertFalse(os.path.isfile(path), f"{path} replaced")
                dusk.process.send_signal(signal.SIGTERM)
                self.assertEqual(dusk.process.wait(timeout=1), 0, dusk.log()[-2000:])


class AutostartEntries(InstalledTestCase):
    """An entry the Autostart rules would not start shows "Launch at Login"
    unchecked; clicking it writes one they would."""

    def check_off_then_turned_on(self, dusk):
        for _ in range(3):  # each opening reads the entry again
            self.assertFalse(dusk.checked(LAUNCH_AT_LOGIN))
        dusk.click(LAUNCH_AT_LOGIN)
        wait_until(lambda: os.path.isfile(self.autostart()) and not autostart_off_for_glib(self.autostart()),
                   what="a working entry")
        self.assertTrue(dusk.checked(LAUNCH_AT_LOGIN))
        entry = Gio.DesktopAppInfo.new_from_filename(self.autostart())
        self.assertEqual(GLib.shell_parse_argv(entry.get_commandline())[1], [os.path.realpath(DUSK)])

    def test_hidden_switched_off_or_gone_entries_read_unchecked_and_a_click_writes_a_working_one(self):
        dusk = self.start()
        dusk.click(LAUNCH_AT_LOGIN)
        wait_until(lambda: os.path.isfile(self.autostart()), what="the entry")
        working = self.session.read(self.autostart())
        gone = os.path.join(self.session.root, "moved-away", "bin", "dusk")
        variants = {
            "Hidden=true": working + "Hidden=true\n",
            "Hidden=true, CRLF": (working + "Hidden=true\n").replace("\n", "\r\n"),
            "X-GNOME-Autostart-enabled=false": working.replace("X-GNOME-Autostart-enabled=true",
                                                               "X-GNOME-Autostart-enabled=false"),
            "a program that is gone": "".join(f"Exec={gone}\n" if line.startswith("Exec=") else line + "\n"
                                              for line in working.splitlines()),
        }
        for name, text in variants.items():
            with self.subTest(name):
                with open(self.autostart(), "w", newline="") as file:
                    file.write(text)
                self.assertTrue(autostart_off_for_glib(self.autostart()), "GLib would start it")
                self.check_off_then_turned_on(dusk)

    def test_a_fifo_or_dev_zero_for_an_entry_reads_unchecked_and_is_logged_once(self):
        dusk = self.start()
        for kind in ("FIFO", "link to /dev/zero"):
            with self.subTest(kind):
                self.make(self.autostart(), kind)
                ignored = dusk.log().count(f"{self.autostart()} is ignored: not a regular file")
                self.check_off_then_turned_on(dusk)
                self.assertEqual(dusk.log().count(f"{self.autostart()} is ignored: not a regular file"), ignored + 1)


@contextlib.contextmanager
def installed_copy(staging, env, nobody):
    prefix = os.path.join(staging, "installed")
    subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL,
                   timeout=120)
    env["DUSK_EXECUTABLE"] = os.path.join(prefix, "bin", "dusk")
    yield


if __name__ == "__main__":
    if os.geteuid() == 0:
        if not BUILD_DIR:
            sys.exit("as root, needs DUSK_BUILD_DIR to install a copy for nobody")
        sys.exit(run_as_nobody("test_user_files.py", sys.argv[1:], {}, installed_copy))
    unittest.main()
