#!/usr/bin/python3
"""The toggle on a real (virtual) Linux desktop when the desktop fails it:
no session bus, a dconf that cannot save, a colour setting the administrator
locked, and a freedesktop portal that misbehaves. Each class gets its own
session (see session.py).

Real components: Xvfb, dbus-daemon, dconf-service (GNOME's setting, and a
lock compiled with `dconf compile` into a database that DCONF_PROFILE names),
xdotool for key presses. The portal is portal.py, a peer written from the
published org.freedesktop.portal.Settings interface: Debian's
xdg-desktop-portal cannot be made to answer wrongly or not at all.

portal_probe reads the portal as a command run from a shell does (no event
loop: a short blocking read), through the backend's own portal client.

With no session bus there is no AT-SPI either, so the alert's texts are read
over AT-SPI where the bus is there (the locked setting, a dconf that cannot
save) and only its window is looked for without one."""

import contextlib
import os
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import dbus  # noqa: E402
from session import Session, SessionTestCase, wait_until  # noqa: E402

DUSK = os.environ.get("DUSK_EXECUTABLE", "")
PORTAL_PROBE = os.environ.get("DUSK_PORTAL_PROBE", "")
HERE = os.path.dirname(os.path.abspath(__file__))

LIGHT_TIP = "Dusk – switch to Dark Mode"
DARK_TIP = "Dusk – switch to Light Mode"
SHORTCUT = "ctrl+alt+super+d"
FAILED = "AppleScript failed: "
SETTING = "org.gnome.desktop.interface color-scheme"


def xdotool(session, *args):
    return subprocess.run(["xdotool", *args], env=session.env, capture_output=True, text=True, timeout=60)


def alert_windows(session):
    return xdotool(session, "search", "--onlyvisible", "--name", "^Dusk$").stdout.split()


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise AssertionError("no VmRSS")


class ToggleTestCase(SessionTestCase):
    @contextlib.contextmanager
    def stopped_after(self, process):
        """A Dusk or a peer that one sub-test starts ends with it, whatever happens."""
        try:
            yield process
        finally:
            (process.stop if hasattr(process, "stop") else process.terminate)()
            getattr(process, "process", process).wait()

    def start_with_shortcut(self, **kwargs):
        """Dusk without waiting for a tray item: ready once its shortcut is."""
        dusk = self.start(wait_for_tray=False, **kwargs)
        wait_until(lambda: "RegisterEventHotKey ⌃⌥⌘D code=2 mods=6400 status=0" in dusk.log(),
                   what=lambda: f"the shortcut to be registered (log: {dusk.log()!r})")
        return dusk

    def dismiss_alert(self):
        windows = wait_until(lambda: alert_windows(self.session), what="the alert")
        xdotool(self.session, "windowfocus", "--sync", windows[0])
        xdotool(self.session, "key", "Return")
        wait_until(lambda: not alert_windows(self.session), what="Return to dismiss the alert")


class WithoutASessionBus(ToggleTestCase):
    def test_the_toggle_fails_with_dconfs_reason_and_an_alert(self):
        dead_socket = "unix:path=" + os.path.join(self.session.root, "no-bus-here")
        for address, reason in (("disabled:", "Unknown or unsupported transport"),
                                (dead_socket, "Could not connect: No such file or directory")):
            with self.subTest(address=address), \
                    self.stopped_after(self.start_with_shortcut(env={"DBUS_SESSION_BUS_ADDRESS": address})) as dusk:
                xdotool(self.session, "key", SHORTCUT)
                wait_until(lambda: FAILED in dusk.log(), what=lambda: f"the failure in {dusk.log()!r}")
                log = dusk.log()
                self.assertIn(f'"Can\'t set dark mode: dconf did not save the setting {SETTING}: {reason}', log)
                self.assertIn('NSAppleScriptErrorNumber = "-10000"', log)
                self.assertNotIn("toggle succeeded", log)
                self.dismiss_alert()
                self.assertEqual(self.session.color_scheme(), "'default'")


class DconfCannotSave(ToggleTestCase):
    """The bus is there but dconf's service cannot write its database: its
    folder is a plain file (root, as the tests may run, ignores modes)."""

    def test_the_alert_names_dconfs_reason_and_the_icon_stays(self):
        dusk = self.start(accessible=True)
        folder = os.path.join(self.session.env["XDG_CONFIG_HOME"], "dconf")
        aside = folder + ".aside"
        os.rename(folder, aside)
        try:
            with open(folder, "w") as file:
                file.write("not a folder\n")
            dusk.click("Switch to Dark Mode")
            texts = wait_until(lambda: [t for t in dusk.window_texts() if t.startswith("Can't set dark mode")],
                               what="the alert's informative text")
            self.assertIn("Couldn't change appearance", dusk.window_texts())
            self.assertRegex(texts[0], rf"^Can't set dark mode: dconf did not save the setting {SETTING}: .+\. "
                                       r"\(-10000\)$")
            self.assertNotIn("its service did not take the change", texts[0])  # dconf's own reason
            self.dismiss_alert()
            self.assertNotIn("toggle succeeded", dusk.log())
            self.assertEqual(dusk.tooltip(), LIGHT_TIP)
        finally:
            os.remove(folder)
            os.rename(aside, folder)
        dusk.click("Switch to Dark Mode")
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the toggle to work again")


class LockedSetting(ToggleTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # An administrator's lock, as /etc/dconf/db/*.d/locks holds it, in a
        # database of this session's own.
        keyfiles = os.path.join(cls.session.root, "lock.d")
        os.makedirs(os.path.join(keyfiles, "locks"))
        with open(os.path.join(keyfiles, "00-dusk"), "w") as file:
            file.write("[org/gnome/desktop/interface]\ncolor-scheme='default'\n")
        with open(os.path.join(keyfiles, "locks", "00-dusk"), "w") as file:
            file.write("/org/gnome/desktop/interface/color-scheme\n")
        database = os.path.join(cls.session.root, "locked")
        subprocess.run(["dconf", "compile", database, keyfiles], check=True)
        cls.profile = os.path.join(cls.session.root, "profile")
        with open(cls.profile, "w") as file:
            file.write(f"user-db:user\nfile-db:{database}\n")

    def test_presses_while_the_alert_is_up_are_logged_not_stacked_and_memory_stays_flat(self):
        dusk = self.start_with_shortcut(env={"DCONF_PROFILE": self.profile}, accessible=True)
        xdotool(self.session, "key", SHORTCUT)
        wait_until(lambda: alert_windows(self.session), what="the first alert")
        texts = wait_until(dusk.window_texts, what="the alert's texts")
        self.assertIn("Couldn't change appearance", texts)
        self.assertIn(f"Can't set dark mode: the setting {SETTING} is not writable (locked by the administrator). "
                      "(-10000)", texts)
        shown = rss_kib(dusk.process.pid)

        presses = 300
        xdotool(self.session, "key", "--delay", "2", *[SHORTCUT] * presses)
        wait_until(lambda: dusk.log().count(FAILED) == presses + 1, timeout=60,
                   what=lambda: f"{presses + 1} failures logged, not {dusk.log().count(FAILED)}")
        self.assertEqual(len(alert_windows(self.session)), 1)
        grown = rss_kib(dusk.process.pid) - shown
        self.assertLess(grown, 2048, f"resident memory grew by {grown} KiB over {presses} failing presses")

        # Once dismissed, the same failure is shown again.
        self.dismiss_alert()
        xdotool(self.session, "key", SHORTCUT)
        wait_until(lambda: alert_windows(self.session), what="the alert for the next failure")
        self.assertEqual(dusk.log().count(FAILED), presses + 2)
        self.assertEqual(self.session.color_scheme(), "'default'")
        self.dismiss_alert()


class PortalPeerTestCase(ToggleTestCase):
    def start_portal(self, value, *flags):
        log = os.path.join(self.session.root, f"portal-{len(self.session.processes)}.log")
        with open(log, "w") as out:
            portal = self.session.spawn([sys.executable, os.path.join(HERE, "portal.py"), value, *flags], stdout=out)
        wait_until(lambda: "ready" in Session.read(log), what="the portal peer")
        self.addCleanup(lambda: (portal.terminate(), portal.wait()))
        return portal, log

    @contextlib.contextmanager
    def portal_and_dusk(self, value, *flags):
        portal, log = self.start_portal(value, *flags)
        with self.stopped_after(portal), self.stopped_after(self.start()) as dusk:
            yield dusk, log

    def announce(self, value):
        peer = self.session.bus.get_object("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop")
        dbus.Interface(peer, "org.dusk.Test").Announce(value)



class MisbehavingPortal(PortalPeerTestCase):
    """Where the portal errs, answers with a value it does not document, or
    says nothing, GNOME's setting counts, and Dusk stays responsive."""

    def check_follows_gnome(self, dusk):
        self.session.set_color_scheme("prefer-dark")
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="GNOME's dark")
        dusk.click("Switch to Light Mode")
        wait_until(lambda: self.session.color_scheme() == "'default'", what="the toggle to write GNOME's setting")
        wait_until(lambda: dusk.tooltip() == LIGHT_TIP, what="GNOME's light after the toggle")

    def test_an_answer_it_cannot_trust_leaves_gnome_in_charge(self):
        # Each portal says Dark in its way; GNOME says Light and is believed.
        for value, flags in (("1", ("--error",)), ("1", ("--old", "--error")), ("i:1", ()), ("i:-1", ()),
                             ("u:4294967295", ()), ("u:3", ()), ("s:1", ()), ("s:prefer-dark", ("--old",))):
            self.session.set_color_scheme("default")
            with self.subTest(value=value, flags=flags), self.portal_and_dusk(value, *flags) as (dusk, log):
                wait_until(lambda: "read " in Session.read(log), what="Dusk's read of the portal")
                self.assertEqual(dusk.tooltip(), LIGHT_TIP)
                self.check_follows_gnome(dusk)

    def test_a_bad_announcement_is_not_trusted_and_a_good_one_is(self):
        # GNOME says Dark, the portal Light; each bad value is a way of
        # saying "not dark" that must not be believed.
        self.session.set_color_scheme("prefer-dark")
        self.start_portal("2")
        dusk = self.start()
        wait_until(lambda: dusk.tooltip() == LIGHT_TIP, what="the portal's light")
        for bad in ("i:-1", "u:3", "i:2", "s:2"):
            with self.subTest(announced=bad):
                self.announce(bad)
                wait_until(lambda: dusk.tooltip() == DARK_TIP, what="GNOME's dark instead")
                self.announce("2")
                wait_until(lambda: dusk.tooltip() == LIGHT_TIP, what="the portal's light again")

    def test_a_portal_that_goes_away_leaves_gnome_in_charge(self):
        portal, _ = self.start_portal("1")
        dusk = self.start()
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the portal's dark")
        portal.terminate()
        portal.wait()
        wait_until(lambda: dusk.tooltip() == LIGHT_TIP, what="GNOME's light once the portal is gone")

    def test_a_portal_that_never_answers_holds_nothing_up(self):
        for flags in ((), ("--old",)):
            self.session.set_color_scheme("default")
            # Its tray item registers (within start's deadline).
            with self.subTest(flags=flags), self.portal_and_dusk("1", "--silent", *flags) as (dusk, log):
                wait_until(lambda: "read " in Session.read(log), what="Dusk's read of the portal")
                # Generous deadlines: the figures are in bench.py.
                menu = dusk._menu()
                menu.AboutToShow(0, timeout=5)
                self.assertEqual(str(menu.GetLayout(0, -1, [], timeout=5)[1][2][0][1]["label"]),
                                 "Switch to Dark Mode")
                self.check_follows_gnome(dusk)


@unittest.skipUnless(PORTAL_PROBE, "needs DUSK_PORTAL_PROBE")
class PortalReadWithoutALoop(PortalPeerTestCase):
    """A command run from a shell has no event loop to deliver the portal's
    answer later: it waits for it briefly, and never for good."""

    def probe(self):
        return subprocess.run([PORTAL_PROBE], env=self.session.env, capture_output=True, text=True, check=True,
                              timeout=10).stdout.strip()

    def test_trusted_answers_are_read_and_others_give_none(self):
        for value, flags, answer in (("1", (), "dark"), ("2", ("--old",), "light"), ("0", (), "light"),
                                     ("i:1", (), "none"), ("1", ("--error",), "none"), ("1", ("--silent",), "none"),
                                     ("1", ("--silent", "--old"), "none")):
            with self.subTest(value=value, flags=flags):
                portal, _ = self.start_portal(value, *flags)
                with self.stopped_after(portal):
                    self.assertEqual(self.probe(), answer)


if __name__ == "__main__":
    unittest.main()
