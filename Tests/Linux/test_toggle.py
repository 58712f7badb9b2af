#!/usr/bin/python3
"""The toggle on a real (virtual) Linux desktop when the desktop fails it,
stalls it or disagrees with itself: no session bus, a dconf that cannot
save, a colour setting the administrator locked, a dconf service stopped in
the middle of a write, and freedesktop portals that misbehave, lag or
disagree with GNOME's setting. Each class gets its own session (see
session.py), in which no portal answers unless a test starts one.

Real components: Xvfb, dbus-daemon, dconf-service (GNOME's setting, stopped
with SIGSTOP, and a lock compiled with `dconf compile` into a database that
DCONF_PROFILE names), xdotool for key presses. The portal is portal.py, a
peer written from the published org.freedesktop.portal.Settings interface:
Debian's xdg-desktop-portal cannot be made to answer wrongly, late or not at
all.

With no session bus there is no AT-SPI either, so the alert's texts are read
over AT-SPI where the bus is there (the locked setting, a dconf that cannot
save) and only its window is looked for without one."""

import contextlib
import os
import re
import signal
import subprocess
import sys
import time
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import dbus  # noqa: E402
from session import Session, SessionTestCase, rss_kib, wait_until  # noqa: E402

DUSK = os.environ.get("DUSK_EXECUTABLE", "")
HERE = os.path.dirname(os.path.abspath(__file__))

LIGHT_TIP = "Dusk – switch to Dark Mode"
DARK_TIP = "Dusk – switch to Light Mode"
SHORTCUT = "ctrl+alt+super+d"
FAILED = "couldn't switch to "
SETTING = "org.gnome.desktop.interface color-scheme"
# What a Linux program does not say.
FOREIGN_WORDS = ("AppleScript", "(-10000)", "GDBus.Error", "UnmappedGError")


def xdotool(session, *args):
    return subprocess.run(["xdotool", *args], env=session.env, capture_output=True, text=True, timeout=60)


def alert_windows(session):
    return xdotool(session, "search", "--onlyvisible", "--name", "^Dusk$").stdout.split()


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
        wait_until(lambda: re.search(r"⌃⌥⌘D code=2 mods=6400 status=0", dusk.log()),
                   what=lambda: f"the shortcut to be registered (log: {dusk.log()!r})")
        return dusk

    def dismiss_alert(self):
        windows = wait_until(lambda: alert_windows(self.session), what="the alert")
        xdotool(self.session, "windowfocus", "--sync", windows[0])
        xdotool(self.session, "key", "Return")
        wait_until(lambda: not alert_windows(self.session), what="Return to dismiss the alert")

    def assert_linux_words(self, text):
        for foreign in FOREIGN_WORDS:
            self.assertNotIn(foreign, text)

    def command(self, *arguments, **environment):
        return subprocess.run([DUSK, *arguments], env={**self.session.env, **environment}, capture_output=True,
                              text=True, timeout=30)


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
                self.assertIn(f"couldn't switch to Dark: dconf did not save the setting {SETTING}: {reason}", log)
                self.assert_linux_words(log)
                self.assertNotIn("toggle succeeded", log)
                self.dismiss_alert()
                self.assertEqual(self.session.color_scheme(), "'default'")


class DconfCannotSave(ToggleTestCase):
    """The bus is there but dconf's service cannot write its database (its
    folder is a plain file: root, as the tests may run, ignores modes), or
    GSettings has no dconf backend at all."""

    def test_the_alert_names_dconfs_reason_and_the_icon_stays(self):
        dusk = self.start(accessible=True)
        folder = os.path.join(self.session.env["XDG_CONFIG_HOME"], "dconf")
        aside = folder + ".aside"
        os.rename(folder, aside)
        try:
            with open(folder, "w") as file:
                file.write("not a folder\n")
            dusk.click("Switch to Dark Mode")
            texts = wait_until(lambda: [t for t in dusk.window_texts() if t.startswith("dconf did not save")],
                               what="the alert's informative text")
            self.assertIn("Couldn't change appearance", dusk.window_texts())
            # dconf's own reason, as its service gave it.
            self.assertRegex(texts[0], rf"^dconf did not save the setting {SETTING}: .*Not a directory$")
            self.assert_linux_words(texts[0])
            self.dismiss_alert()
            self.assertNotIn("toggle succeeded", dusk.log())
            self.assertIn(f"couldn't switch to Dark: {texts[0]}", dusk.log())
            self.assertEqual(dusk.tooltip(), LIGHT_TIP)
        finally:
            os.remove(folder)
            os.rename(aside, folder)
        dusk.click("Switch to Dark Mode")
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the toggle to work again")


    def test_where_gsettings_keeps_settings_in_memory_the_menu_alerts_with_the_reason(self):
        # As without dconf's GSettings backend: a change nobody else would see.
        dusk = self.start(accessible=True, env={"GSETTINGS_BACKEND": "memory"})
        dusk.click("Switch to Dark Mode")
        texts = wait_until(lambda: [t for t in dusk.window_texts() if "GSettings keeps its settings in memory" in t],
                           what="the alert's informative text")
        self.assertIn("Couldn't change appearance", dusk.window_texts())
        self.dismiss_alert()
        self.assertIn(f"couldn't switch to Dark: {texts[0]}", dusk.log())
        self.assertNotIn("toggle succeeded", dusk.log())
        self.assertEqual(dusk.tooltip(), LIGHT_TIP)


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
        self.assertIn(f"The setting {SETTING} is locked by the administrator.", texts)
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


class StoppedDconf(ToggleTestCase):
    """dconf's service stopped with SIGSTOP in the middle of a toggle: the
    menu keeps answering, nothing is reported until the change lands, and
    then it is reported as it is, however long the stop."""

    def dconf_service(self):
        return int(self.session.bus.call_blocking("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "GetConnectionUnixProcessID", "s",
                                                  ("ca.desrt.dconf",)))

    @contextlib.contextmanager
    def stopped_dconf(self):
        service = self.dconf_service()
        os.kill(service, signal.SIGSTOP)
        try:
            yield
        finally:
            os.kill(service, signal.SIGCONT)

    def check_menu_answers(self, dusk, seconds):
        """Opens the menu again and again as a panel would. Each answer must
        come within 100 ms; a second is the generous deadline, far shorter
        than the stop, which a menu waiting on dconf would last out."""
        menu = dusk._menu()
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            menu.AboutToShow(0, timeout=1)
            layout = menu.GetLayout(0, -1, [], timeout=1)
            self.assertEqual(str(layout[1][2][0][1]["label"]), "Switch to Dark Mode")
            time.sleep(0.05)

    def check_nothing_reported(self, dusk):
        log = dusk.log()
        self.assertIn("toggle requested, currently dark=false", log)
        self.assertNotIn("toggle succeeded", log)
        self.assertNotIn(FAILED, log)
        self.assertEqual(dusk.tooltip(), LIGHT_TIP)

    def check_reported_as_it_lands(self, dusk):
        dusk.wait_for_log("toggle succeeded, now dark=true")
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the dark tooltip")
        self.assertEqual(self.session.color_scheme(), "'prefer-dark'")
        self.assertNotIn(FAILED, dusk.log())
        self.assertEqual(alert_windows(self.session), [])

    def test_the_menu_answers_throughout_and_the_change_is_reported_when_it_lands(self):
        dusk = self.start()
        with self.stopped_dconf():
            dusk.click("Switch to Dark Mode")
            self.check_menu_answers(dusk, 3)
            self.check_nothing_reported(dusk)
        self.check_reported_as_it_lands(dusk)

    def test_a_stop_longer_than_d_bus_waits_is_still_reported_when_it_lands(self):
        # GDBus gives up on a call after 25 s; the change waits in dconf's
        # queue all the same.
        dusk = self.start()
        with self.stopped_dconf():
            dusk.click("Switch to Dark Mode")
            dusk.wait_for_log("dconf's service has not answered for 25 seconds", timeout=40)
            self.check_menu_answers(dusk, 2)
            self.check_nothing_reported(dusk)
        self.check_reported_as_it_lands(dusk)

    def test_a_command_waits_for_the_landing_and_quitting_waits_for_nothing(self):
        with self.stopped_dconf():
            command = subprocess.Popen([DUSK, "toggle"], env=self.session.env, stdout=subprocess.PIPE,
                                       stderr=subprocess.PIPE, text=True)
            time.sleep(2)
            self.assertIsNone(command.poll())
        out, err = command.communicate(timeout=10)
        self.assertEqual((command.returncode, out), (0, ""), err)
        self.assertIn("toggle succeeded, now dark=true", err)
        self.assertEqual(self.session.color_scheme(), "'prefer-dark'")

        dusk = self.start()
        with self.stopped_dconf():
            dusk.click("Switch to Light Mode")
            dusk.wait_for_log("toggle requested, currently dark=true")
            dusk.click("Quit Dusk")
            self.assertEqual(dusk.wait_exit(timeout=5), 0)


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

    def peer(self):
        peer = self.session.bus.get_object("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop")
        return dbus.Interface(peer, "org.dusk.Test")


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
                self.peer().Announce(bad)
                wait_until(lambda: dusk.tooltip() == DARK_TIP, what="GNOME's dark instead")
                self.peer().Announce("2")
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


class CommandReadsThePortal(PortalPeerTestCase):
    """`dusk status` believes the portal where it answers with a documented
    value, GNOME's setting otherwise, and a portal that never answers holds
    it up only briefly."""

    def test_trusted_answers_are_believed_and_others_give_gnome_s_setting(self):
        for value, flags, gnome, answer in (
                ("1", (), "default", "dark"), ("2", ("--old",), "prefer-dark", "light"),
                ("0", (), "prefer-dark", "light"), ("i:1", (), "default", "light"),
                ("2", ("--error",), "prefer-dark", "dark"), ("1", ("--silent",), "default", "light"),
                ("2", ("--silent", "--old"), "prefer-dark", "dark")):
            with self.subTest(value=value, flags=flags):
                self.session.set_color_scheme(gnome)
                portal, log = self.start_portal(value, *flags)
                with self.stopped_after(portal):
                    # A wait for the silent portal's own timeout (25 s) runs out of time here.
                    result = subprocess.run([DUSK, "status"], env=self.session.env, capture_output=True, text=True,
                                            timeout=10)
                    self.assertEqual((result.returncode, result.stdout), (0, answer + "\n"), result.stderr)
                    wait_until(lambda: "read " in Session.read(log), what="the portal to have been read")


class LaggingPortal(PortalPeerTestCase):
    """A portal that follows GNOME's setting, as xdg-desktop-portal-gtk does,
    but announces each change late: after Dusk's own toggle, what Dusk logs,
    prints and draws is the side it wrote, before the portal catches up."""

    def test_the_tray_reports_the_side_it_wrote_before_the_portal_announces_it(self):
        _, log = self.start_portal("gnome", "--lag", "hold")

        def announced():
            return Session.read(log).count("announced")

        dusk = self.start()
        self.assertEqual(dusk.tooltip(), LIGHT_TIP)
        for click, written, tip, icon in (("Switch to Dark Mode", "true", DARK_TIP, "dusk-moon-symbolic"),
                                          ("Switch to Light Mode", "false", LIGHT_TIP, "dusk-sun-symbolic")):
            with self.subTest(click=click):
                before = announced()
                dusk.click(click)
                dusk.wait_for_log(f"toggle succeeded, now dark={written}")
                self.assertEqual((dusk.tooltip(), dusk.icon_name()), (tip, icon))
                self.assertNotEqual(dusk.titles()[0], click)
                self.assertEqual(self.command("status").stdout, ("dark" if written == "true" else "light") + "\n")
                self.assertEqual(announced(), before)
                # The announcement, when it comes, agrees.
                wait_until(lambda: self.peer().Release(), what="the portal to hold the change")
                wait_until(lambda: announced() > before, what="the held announcement")
                self.assertEqual(dusk.tooltip(), tip)
        # A change made elsewhere arrives through the portal, late as it is.
        self.session.set_color_scheme("prefer-dark")
        wait_until(lambda: self.peer().Release(), what="the portal to hold the change made elsewhere")
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the change made elsewhere")

    def test_a_command_reports_the_side_it_wrote(self):
        self.start_portal("gnome", "--lag", "0.5")
        for command, before, after in (("toggle", "false", "true"), ("light", "true", "false"),
                                       ("dark", "false", "true")):
            with self.subTest(command=command):
                result = self.command(command)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn(f"toggle requested, currently dark={before}", result.stderr)
                self.assertIn(f"toggle succeeded, now dark={after}", result.stderr)
                self.assertEqual(self.command("status").stdout, ("dark" if after == "true" else "light") + "\n")


class DisagreeingPortal(PortalPeerTestCase):
    """A portal that says one side while GNOME's setting says the other: a
    toggle writes the opposite of the side Dusk reports, so `dusk light`
    ends Light and the menu's item does what it says."""

    def test_dusk_light_ends_light_and_dusk_dark_ends_dark(self):
        for portal_side, gnome, command, before, written in (("1", "default", "light", "true", "'default'"),
                                                             ("2", "prefer-dark", "dark", "false", "'prefer-dark'")):
            with self.subTest(command=command):
                self.session.set_color_scheme(gnome)
                portal, _ = self.start_portal(portal_side)
                with self.stopped_after(portal):
                    result = self.command(command)
                    self.assertEqual(result.returncode, 0, result.stderr)
                    self.assertIn(f"toggle requested, currently dark={before}", result.stderr)
                    after = "false" if before == "true" else "true"
                    self.assertIn(f"toggle succeeded, now dark={after}", result.stderr)
                    self.assertEqual(self.session.color_scheme(), written)

    def test_the_menu_switches_to_the_side_it_offers_and_the_icon_follows(self):
        self.start_portal("1")
        dusk = self.start()
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the portal's dark")
        dusk.click("Switch to Light Mode")
        dusk.wait_for_log("toggle succeeded, now dark=false")
        self.assertEqual(dusk.tooltip(), LIGHT_TIP)
        self.assertEqual(self.session.color_scheme(), "'default'")
        dusk.click("Switch to Dark Mode")
        dusk.wait_for_log("toggle succeeded, now dark=true")
        self.assertEqual(dusk.tooltip(), DARK_TIP)
        self.assertEqual(self.session.color_scheme(), "'prefer-dark'")


if __name__ == "__main__":
    unittest.main()
