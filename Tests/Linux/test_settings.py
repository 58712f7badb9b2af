#!/usr/bin/python3
"""Dusk's stored shortcut on a real (virtual) Linux desktop, under the faults
a user's machine has: a process killed in the middle of a save, a folder it
may not write, a full disk, no HOME, a FIFO or a damaged file where the
settings file should be, and a hand-edited file naming a bare key.

Everything here is a real component: Xvfb, dbus-daemon, dconf, xdotool,
AT-SPI, strace for the kills, a tmpfs for the full disk, setpriv for the
unprivileged user. The tray host is session.py's tray_host.py.

FailedSaves needs an unprivileged user, since root writes where the user may
not. Run by name as root, this file runs that class again as nobody, with a
small tmpfs mounted for the full disk; run as another user, it runs it as
that user (and skips the full disk, which needs the mount).

DUSK_EXECUTABLE names the built program; DUSK_X11_PEER the x11_peer helper."""

import errno
import glob
import os
import pwd
import random
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from session import SessionTestCase, wait_until  # noqa: E402

DUSK = os.environ.get("DUSK_EXECUTABLE", "")
X11_PEER = os.environ.get("DUSK_X11_PEER", "")
FULL_DISK = os.environ.get("DUSK_FULL_DISK", "")

# ⇧⌘K stored, ⌃⌥J recorded over it: a mix of the two would be ⇧⌘J or ⌃⌥K.
OLD = {"hotKeyCode": 40, "hotKeyModifiers": 0x120000}
NEW = {"hotKeyCode": 38, "hotKeyModifiers": 0xC0000}
OLD_TITLE, NEW_TITLE = "Hotkey: Shift+Super+K…", "Hotkey: Ctrl+Alt+J…"
DEFAULT_TITLE = "Hotkey: Ctrl+Alt+Super+D…"
RECORDER = "^Dusk Hotkey$"
ALERT = "^Dusk$"
UNFINISHED = "left behind by a save that did not finish"


def settings_text(values):
    return "".join(f"{key}={value}\n" for key, value in values.items())


def parse(text):
    values = {}
    for line in text.splitlines():
        if line and not line.startswith("#"):
            key, value = line.split("=")
            values[key] = int(value)
    return values


def xdotool(session, *args):
    return subprocess.run(["xdotool", *args], env=session.env, capture_output=True, text=True, timeout=20)


class SettingsTestCase(SessionTestCase):
    def setUp(self):
        super().setUp()
        self.empty_config()

    def tearDown(self):
        super().tearDown()
        os.chmod(self.dusk_config(), 0o700)

    def empty_config(self):
        shutil.rmtree(self.dusk_config(), ignore_errors=True)
        os.makedirs(self.dusk_config())

    def dusk_config(self, *parts):
        return os.path.join(self.session.env["XDG_CONFIG_HOME"], "dusk", *parts)

    def settings(self):
        return self.dusk_config("settings.conf")

    def write_settings(self, text):
        with open(self.settings(), "w") as file:
            file.write(text)

    def stored(self):
        with open(self.settings()) as file:
            return parse(file.read())

    def temporaries(self):
        folder, name = os.path.split(self.settings())
        return glob.glob(os.path.join(folder, f".{name}.dusk-unfinished-save-" + "[A-Za-z0-9]" * 6))

    def start(self, **kwargs):
        dusk = self.session.start_dusk(DUSK, **kwargs)
        self.running.append(dusk)
        return dusk

    def visible(self, title):
        return xdotool(self.session, "search", "--onlyvisible", "--name", title).stdout.split()

    def record_new_shortcut(self, dusk, title):
        dusk.click(title)
        # Keys go where the focus is: the recorder must have it.
        wait_until(lambda: xdotool(self.session, "getwindowfocus", "getwindowname").stdout.strip() == "Dusk Hotkey",
                   what="the recorder to have the keyboard")
        xdotool(self.session, "key", "ctrl+alt+j")


@unittest.skipUnless(DUSK, "needs DUSK_EXECUTABLE")
class KilledSaves(SettingsTestCase):
    """A save is a temporary file, its one write, fsync, rename over the old
    file, fsync of the folder. Dusk is killed (strace injects SIGKILL) as it
    enters each step in turn; the one write lies between fchmod and the first
    fsync, so a kill at each of those two sees it not done and done."""

    STEPS = [
        # syscall, its number in the save, what survives, a temporary left
        ("fchmod", 1, OLD, True),   # temporary made, nothing written
        ("fsync", 1, OLD, True),    # written, not on the disk yet
        ("rename", 1, OLD, True),   # on the disk, not in place
        ("fsync", 2, NEW, False),   # in place, the folder not flushed
    ]

    def test_a_kill_at_every_step_of_a_save_leaves_the_old_or_the_new_shortcut(self):
        for syscall, number, survivor, leftover in self.STEPS:
            with self.subTest(step=f"{syscall} #{number}"):
                self.empty_config()
                self.write_settings(settings_text(OLD))
                strace = ["strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=fchmod,fsync,rename",
                          "-e", f"inject={syscall}:signal=SIGKILL:when={number}"]
                dusk = self.session.start_dusk(DUSK, wrapper=strace)
                try:
                    self.assertEqual(dusk.titles()[1], OLD_TITLE)
                    self.record_new_shortcut(dusk, OLD_TITLE)
                    dusk.process.wait(timeout=30)
                finally:
                    if dusk.process.poll() is None:
                        dusk.process.kill()
                        dusk.process.wait()
                self.assertEqual(len(self.temporaries()), 1 if leftover else 0, self.temporaries())
                self.assertEqual(self.stored(), survivor)

                again = self.start()
                try:
                    self.assertEqual(again.titles()[1], OLD_TITLE if survivor == OLD else NEW_TITLE)
                    self.assertEqual(self.temporaries(), [])
                    self.assertEqual(again.log().count(UNFINISHED), 1 if leftover else 0, again.log())
                finally:
                    again.stop()

    def test_kills_at_random_moments_after_the_key_press_never_leave_a_mix(self):
        chance = random.Random(11)
        for _ in range(20):
            self.write_settings(settings_text(OLD))
            dusk = self.start()
            self.record_new_shortcut(dusk, OLD_TITLE)
            time.sleep(chance.uniform(0, 0.06))
            dusk.process.send_signal(signal.SIGKILL)
            dusk.process.wait(timeout=10)
            self.assertIn(self.stored(), (OLD, NEW))
        # The next start cleans up after whichever save was cut short.
        self.start()
        self.assertEqual(self.temporaries(), [])

    def test_a_kill_after_the_save_keeps_the_new_shortcut_and_both_integers_change_together(self):
        self.write_settings(settings_text(OLD))
        dusk = self.start()
        self.record_new_shortcut(dusk, OLD_TITLE)
        wait_until(lambda: self.stored() != OLD, what="the save")
        self.assertEqual(self.stored(), NEW)
        dusk.process.send_signal(signal.SIGKILL)
        dusk.process.wait(timeout=10)
        self.assertEqual(self.start().titles()[1], NEW_TITLE)


@unittest.skipUnless(DUSK, "needs DUSK_EXECUTABLE")
class DamagedFiles(SettingsTestCase):
    def check_set_aside_and_defaults(self, kind):
        # The tray answering at all shows that Dusk did not wait on the FIFO.
        dusk = self.start()
        self.assertEqual(dusk.titles()[1], DEFAULT_TITLE)
        wait_until(lambda: "XGrabKey ⌃⌥⌘D code=2 mods=6400 status=0" in dusk.log(),
                   what="the default shortcut to be registered")
        asides = glob.glob(self.settings() + ".corrupt-*")
        self.assertEqual(len(asides), 1)
        self.assertTrue(kind(os.lstat(asides[0]).st_mode))
        self.assertIn(f"{self.settings()} could not be read (not a regular file); kept aside as {asides[0]}",
                      dusk.log())
        self.assertFalse(os.path.lexists(self.settings()))
        # The next recording makes a settings file of its own.
        self.record_new_shortcut(dusk, DEFAULT_TITLE)
        wait_until(lambda: os.path.exists(self.settings()) and self.stored() == NEW, what="the new settings file")

    def test_a_fifo_is_set_aside_never_opened(self):
        os.mkfifo(self.settings())
        self.check_set_aside_and_defaults(stat.S_ISFIFO)

    def test_a_link_to_a_fifo_is_set_aside_never_opened(self):
        elsewhere = os.path.join(self.session.root, "a-fifo")
        os.mkfifo(elsewhere)
        os.symlink(elsewhere, self.settings())
        self.check_set_aside_and_defaults(stat.S_ISLNK)

    def test_damaged_files_set_aside_in_the_same_second_keep_their_own_names(self):
        # Files set aside earlier in each of the next seconds: every set-aside
        # below meets a name that is taken.
        now = time.time()
        earlier = {}
        for second in range(12):
            stamp = time.strftime("%Y%m%dT%H%M%S", time.localtime(now + second))
            earlier[f"{self.settings()}.corrupt-{stamp}"] = f"set aside earlier, {stamp}\n"
        for path, text in earlier.items():
            with open(path, "w") as file:
                file.write(text)
        damaged = ["hotKeyCode=forty\n", "hotKeyCode=1\nhotKeyCode=2\n"]
        for text in damaged:
            self.write_settings(text)
            dusk = self.start()
            wait_until(lambda: "is not a settings file; kept aside as" in dusk.log(), what="the set-aside")
            dusk.stop()
        kept = {}
        for path in glob.glob(self.settings() + ".corrupt-*"):
            with open(path) as file:
                kept[path] = file.read()
        for path, text in earlier.items():
            self.assertEqual(kept.pop(path), text)
        self.assertEqual(sorted(kept.values()), sorted(damaged))


@unittest.skipUnless(DUSK and X11_PEER, "needs DUSK_EXECUTABLE and DUSK_X11_PEER")
class BareKeys(SettingsTestCase):
    """A hand-edited file names D alone or with Shift only: Dusk shows it,
    leaves the file alone, and grabs nothing, so another client can take
    the key."""

    def check_not_grabbed(self, text, title, modifier_mask, line):
        self.write_settings(text)
        dusk = self.start()
        self.assertEqual(dusk.titles()[1], title)
        wait_until(lambda: line in dusk.log(), what=lambda: f"{line!r} in {dusk.log()!r}")
        self.assertNotIn("XGrabKey", dusk.log())
        # x11_peer's grab of the very key succeeds only if nobody holds it.
        peer = subprocess.Popen([X11_PEER, "grab", "40", modifier_mask], env=self.session.env,
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        try:
            self.assertEqual(peer.stdout.readline().strip(), "ready")
        finally:
            peer.stdin.close()
            peer.terminate()
            peer.wait(timeout=5)
            peer.stdout.close()
        dusk.stop()
        with open(self.settings()) as file:
            self.assertEqual(file.read(), text)

    def test_a_plain_key_is_not_registered(self):
        self.check_not_grabbed("hotKeyCode=2\n", "Hotkey: D (not registered)…", "0",
                               "not registering D code=2 mods=0: without Control, Option or Command only a "
                               "function key can be a shortcut")

    def test_a_key_with_shift_alone_is_not_registered(self):
        self.check_not_grabbed("hotKeyCode=2\nhotKeyModifiers=131072\n", "Hotkey: Shift+D (not registered)…", "1",
                               "not registering ⇧D code=2 mods=512: without Control, Option or Command only a "
                               "function key can be a shortcut")


@unittest.skipIf(os.geteuid() == 0, "run it by name: as root, this file runs it again as nobody")
@unittest.skipUnless(DUSK, "needs DUSK_EXECUTABLE")
class FailedSaves(SettingsTestCase):
    def alert_texts(self, dusk):
        wait_until(lambda: self.visible(ALERT), what="the alert")
        return wait_until(lambda: [text for text in dusk.window_texts() if text], what="the alert's texts")

    def dismiss_alert(self):
        window = self.visible(ALERT)[0]
        xdotool(self.session, "windowfocus", "--sync", window)
        xdotool(self.session, "key", "Return")
        wait_until(lambda: not self.visible(ALERT), what="Return to dismiss the alert")

    def check_failed_change(self, dusk, title, reason):
        self.record_new_shortcut(dusk, title)
        texts = self.alert_texts(dusk)
        self.assertIn("Couldn't save the shortcut", texts)
        self.assertIn(f"Dusk couldn't write {self.settings()}: {reason}. The shortcut lasts only until Dusk quits.",
                      texts)
        # One button; the closed recorder's Cancel may linger in the tree, its OK never.
        self.assertEqual(texts.count("OK"), 1)
        self.assertIn(f"settings not saved to {self.settings()}: {reason}", dusk.log())
        # Until Dusk quits, the shortcut is the one just recorded.
        self.assertEqual(dusk.titles()[1], NEW_TITLE)
        xdotool(self.session, "key", "ctrl+alt+j")
        wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="the recorded shortcut to toggle")
        self.dismiss_alert()

    def test_a_read_only_folder_alerts_once_per_change_and_the_old_shortcut_comes_back(self):
        self.write_settings(settings_text(OLD))
        os.chmod(self.dusk_config(), 0o500)
        dusk = self.start(accessible=True)
        self.check_failed_change(dusk, OLD_TITLE, "Permission denied")
        self.assertEqual(dusk.log().count("settings not saved"), 1)
        # Clearing is a change of its own, and fails on its own.
        dusk.click(NEW_TITLE)
        wait_until(lambda: self.visible(RECORDER), what="the recorder")
        dusk.press_button("Clear Hotkey")
        wait_until(lambda: self.visible(ALERT), what="the second alert")
        self.assertEqual(len(self.visible(ALERT)), 1)
        self.dismiss_alert()
        self.assertEqual(dusk.log().count("settings not saved"), 2)
        dusk.stop()
        self.assertEqual(self.stored(), OLD)
        self.assertEqual(self.start().titles()[1], OLD_TITLE)

    def test_an_unreadable_file_in_a_read_only_folder_is_kept_and_the_failure_shown(self):
        self.write_settings(settings_text(OLD))
        os.chmod(self.settings(), 0)
        os.chmod(self.dusk_config(), 0o500)
        dusk = self.start(accessible=True)
        self.assertEqual(dusk.titles()[1], DEFAULT_TITLE)
        self.assertIn(f"{self.settings()} could not be read (Permission denied) and could not be moved aside "
                      "(Permission denied); starting from defaults without saving", dusk.log())
        self.check_failed_change(dusk, DEFAULT_TITLE, "it could not be read (Permission denied) and could not "
                                                      "be moved aside (Permission denied)")
        dusk.stop()
        os.chmod(self.settings(), 0o600)
        self.assertEqual(self.stored(), OLD)

    @unittest.skipUnless(FULL_DISK, "needs DUSK_FULL_DISK, a small tmpfs (run by name as root)")
    def test_a_full_disk_alerts_and_the_old_shortcut_comes_back(self):
        os.rmdir(self.dusk_config())
        os.symlink(FULL_DISK, self.dusk_config())
        self.addCleanup(os.remove, self.dusk_config())
        self.write_settings(settings_text(OLD))
        filler = os.path.join(FULL_DISK, "filler")
        self.addCleanup(os.remove, filler)
        fd = os.open(filler, os.O_WRONLY | os.O_CREAT, 0o600)
        try:
            with self.assertRaises(OSError) as full:
                while True:
                    os.write(fd, b"\0" * 4096)
            self.assertEqual(full.exception.errno, errno.ENOSPC)
        finally:
            os.close(fd)
        dusk = self.start(accessible=True)
        self.check_failed_change(dusk, OLD_TITLE, "No space left on device")
        dusk.stop()
        self.assertEqual(self.stored(), OLD)
        self.assertEqual(self.temporaries(), [])

    def test_without_home_the_password_database_names_the_home_folder(self):
        home = pwd.getpwuid(os.getuid()).pw_dir
        dusk = self.start(env={"HOME": None, "XDG_CONFIG_HOME": None})
        self.assertIn(f"settings file: {home}/.config/dusk/settings.conf", dusk.log())


def run_failed_saves_unprivileged(argv):
    """As root: FailedSaves again as nobody, from copies nobody can read,
    with a 64 KiB tmpfs to fill."""
    staging = tempfile.mkdtemp(prefix="dusk-unprivileged-")
    full = os.path.join(staging, "full")
    os.makedirs(full)
    nobody = pwd.getpwnam("nobody")
    try:
        os.chmod(staging, 0o755)
        for name in ("test_settings.py", "session.py", "tray_host.py"):
            shutil.copy(os.path.join(HERE, name), staging)
        env = dict(os.environ)
        for variable, path in (("DUSK_EXECUTABLE", DUSK), ("DUSK_X11_PEER", X11_PEER)):
            if path:
                env[variable] = shutil.copy(path, staging)
        # A container may forbid mounts: then the full disk is skipped, saying why.
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o",
                                  f"size=64k,mode=0700,uid={nobody.pw_uid},gid={nobody.pw_gid}", "dusk-full-disk",
                                  full]).returncode == 0
        if mounted:
            env["DUSK_FULL_DISK"] = full
        try:
            return subprocess.run(["setpriv", f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}",
                                   "--clear-groups", "/usr/bin/python3", os.path.join(staging, "test_settings.py"),
                                   *argv], env=env, cwd=staging).returncode
        finally:
            if mounted:
                subprocess.run(["umount", full], check=True)
    finally:
        shutil.rmtree(staging, ignore_errors=True)


if __name__ == "__main__":
    if os.geteuid() == 0 and "FailedSaves" in sys.argv[1:]:
        sys.exit(run_failed_saves_unprivileged(sys.argv[1:]))
    unittest.main()
