#!/usr/bin/python3
"""Dusk against the desktop components Debian 12 ships, each class in its own
private bus and throwaway home, with nothing played by a stand-in:

- Plasma: KDE Plasma 5.27's compositor (kwin_wayland, virtual, which hosts
  kglobalaccel), xdg-desktop-portal with its KDE backend (GlobalShortcuts
  and Settings), and plasma-apply-colorscheme. The shortcut is pressed
  through kglobalaccel's invokeShortcut, as KWin does for typed keys.
- Gtk: Xvfb, xdg-desktop-portal with its GTK backend, GNOME's setting in dconf.
- Gnome: mutter (headless, Wayland only) with xdg-desktop-portal-gnome.

XDG_DESKTOP_PORTAL_DIR names the one backend each class uses, whatever else is
installed; a class whose components are not installed is skipped.

DUSK_EXECUTABLE names the built program."""

import glob
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import dbus  # noqa: E402
from portal import REAL_PORTALS, real_portals  # noqa: E402
from session import Session, SessionTestCase, wait_until  # noqa: E402

DUSK = os.environ.get("DUSK_EXECUTABLE", "")
LIGHT_TIP = "Dusk – switch to Dark Mode"
DARK_TIP = "Dusk – switch to Light Mode"
KWIN = "/usr/bin/kwin_wayland"
# Dusk's recorder window as KWin lists it: its Wayland app id and its title.
RECORDER = "app.dusk.Dusk/Dusk Hotkey"
KDE_PORTAL = "/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde"
PLASMA_TOOL = "/usr/bin/plasma-apply-colorscheme"
MUTTER = "/usr/bin/mutter"
# What a portal runs to show a settings page, or a URL such as
# systemsettings://kcm_keys/: each stands in on PATH and notes its start.
OPENERS = ("xdg-open", "kde-open5", "kde-open", "kioclient5", "systemsettings", "systemsettings5", "kcmshell5")


def installed(*paths):
    return all(os.path.exists(path) for path in paths)


def socket_answers(path):
    with socket.socket(socket.AF_UNIX) as probe:
        try:
            probe.connect(path)
            return True
        except OSError:
            return False


class OpenersOnPath:
    """A folder first on the session's PATH, whose programs only note that
    something started them."""

    def __init__(self, session):
        self.folder = os.path.join(session.root, "openers")
        self.log = os.path.join(session.root, "openers.log")
        os.makedirs(self.folder)
        for name in OPENERS:
            path = os.path.join(self.folder, name)
            with open(path, "w") as script:
                script.write(f'#!/bin/sh\necho "{name} $*" >> {self.log}\n')
            os.chmod(path, 0o755)
        session.env["PATH"] = self.folder + os.pathsep + session.env["PATH"]

    def started(self):
        return Session.read(self.log).splitlines()


class PlasmaSession(Session):
    """KWin on a virtual output with the session's bus, as Plasma's Wayland
    session starts it, and the variables Plasma's session sets."""

    def _start_x(self):
        self.env.update({"XDG_CURRENT_DESKTOP": "KDE", "XDG_SESSION_TYPE": "wayland", "KDE_SESSION_VERSION": "5",
                         "KDE_FULL_SESSION": "true", "WAYLAND_DISPLAY": "dusk-kde",
                         # QPainter: no GL work on a machine without a GPU.
                         "KWIN_COMPOSE": "Q"})
        self.openers = OpenersOnPath(self)

    def _start_bus(self):
        super()._start_bus()
        # KWin keeps its file capability (CAP_SYS_RESOURCE) only where the
        # system allows it; a copy without it starts anywhere, in a container too.
        kwin = os.path.join(self.root, "kwin_wayland")
        shutil.copy(KWIN, kwin)
        self.kwin_log = os.path.join(self.root, "kwin.log")
        with open(self.kwin_log, "w") as log:
            self.spawn([kwin, "--virtual", "--socket", "dusk-kde", "--no-lockscreen"], stdout=log, stderr=log)
        bus = dbus.bus.BusConnection(self.env["DBUS_SESSION_BUS_ADDRESS"])
        wait_until(lambda: socket_answers(os.path.join(self.env["XDG_RUNTIME_DIR"], "dusk-kde"))
                   and bus.name_has_owner("org.kde.kglobalaccel"), timeout=30,
                   what=lambda: f"KWin and its kglobalaccel (its log: {self.read(self.kwin_log)[-2000:]!r})")
        bus.close()

    def windows(self):
        """KWin's window list, as a KWin script sees it: "class/caption" each."""
        marker = f"dusk-windows-{len(self.processes)}-{len(os.listdir(self.root))}"
        script = os.path.join(self.root, marker + ".js")
        with open(script, "w") as file:
            file.write(f'print("{marker} " + JSON.stringify(workspace.clientList().map('
                       'function (window) { return window.resourceClass + "/" + window.caption; })));\n')
        scripting = dbus.Interface(self.bus.get_object("org.kde.KWin", "/Scripting"), "org.kde.kwin.Scripting")
        scripting.loadScript(script)
        scripting.start()
        line = wait_until(lambda: [line for line in self.read(self.kwin_log).splitlines() if marker in line],
                          what="KWin's window list")[0]
        return json.loads(line.split(marker, 1)[1])

    def kdeglobals(self):
        return os.path.join(self.env["XDG_CONFIG_HOME"], "kdeglobals")

    def plasma_is_dark(self):
        """Whether Plasma's window background, as its settings file has it, is dark."""
        found = re.search(r"^\[Colors:Window\]\n(?:[^\[].*\n)*?BackgroundNormal=(\d+),(\d+),(\d+)",
                          self.read(self.kdeglobals()), re.M)
        return found is not None and sum(int(part) for part in found.groups()) / 3 < 128

    def set_color_scheme(self, value):
        # The tests start in Light: Plasma's Breeze, and GNOME's default.
        super().set_color_scheme(value)
        subprocess.run([PLASMA_TOOL, "BreezeLight"], env={**self.env, "QT_QPA_PLATFORM": "offscreen"},
                       capture_output=True, check=True, timeout=30)


@unittest.skipUnless(installed(KWIN, KDE_PORTAL, PLASMA_TOOL, os.path.join(REAL_PORTALS, "kde.portal")),
                     "needs kwin-wayland, xdg-desktop-portal-kde and plasma-workspace")
class Plasma(SessionTestCase):
    session_kind = PlasmaSession

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        real_portals(cls.session, "kde")

    def invoke_shortcut(self):
        """What KWin does when the keys are typed: kglobalaccel invokes the
        action of the component the portal made for Dusk's session."""
        component = self.session.bus.get_object("org.kde.kglobalaccel", "/component/dusk")
        dbus.Interface(component, "org.kde.kglobalaccel.Component").invokeShortcut("toggle-appearance")

    def wait_bound(self, dusk):
        wait_until(lambda: "CreateSession ⌃⌥⌘D code=2 mods=6400 status=" in dusk.log(), timeout=30,
                   what=lambda: f"the registration (Dusk: {dusk.log()!r})")
        self.assertIn("CreateSession ⌃⌥⌘D code=2 mods=6400 status=0", dusk.log())

    def command(self, *arguments):
        return subprocess.run([DUSK, *arguments], env=self.session.env, capture_output=True, text=True, timeout=30)

    def test_the_shortcut_binds_through_the_portal_toggles_and_survives_a_restart(self):
        for start in (1, 2):
            with self.subTest(start=start):
                dusk = self.start()
                self.wait_bound(dusk)
                self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+D…")
                for dark, tip in ((True, DARK_TIP), (False, LIGHT_TIP)):
                    self.invoke_shortcut()
                    dusk.wait_for_log(f"toggle succeeded, now dark={str(dark).lower()}")
                    wait_until(lambda: self.session.plasma_is_dark() == dark, what="Plasma's colours")
                    self.assertEqual(dusk.tooltip(), tip)
                self.assertEqual(dusk.log().count("hotkey event received from the desktop's portal"), 2)
                if start == 1:
                    dusk.stop()
        # Never a settings page that nobody asked for: nothing started to
        # open one, and KWin lists no window but Dusk's own recorder.
        self.assertEqual(self.session.openers.started(), [])
        dusk.click("Hotkey: Ctrl+Alt+Super+D…")
        wait_until(lambda: RECORDER in self.session.windows(), what="the recorder in KWin's window list")
        self.assertEqual(self.session.windows(), [RECORDER])

    def test_plasma_keeps_the_keys_it_bound_and_dusk_shows_them(self):
        self.wait_bound(self.start())
        self.running.pop().stop()
        # Another shortcut stored, as the recorder stores it: ⌃⌥⌘L.
        settings = self.config("dusk", "settings.conf")
        os.makedirs(os.path.dirname(settings), exist_ok=True)
        with open(settings, "w") as file:
            file.write("hotKeyCode=37\nhotKeyModifiers=1835008\n")
        dusk = self.start()
        dusk.wait_for_log("hot key binding changed by the desktop: ⌃⌥⌘D")
        self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+D…")
        wait_until(lambda: "hotKeyCode=2\n" in Session.read(settings), what="Plasma's keys stored")

    def test_two_quick_clicks_go_to_dark_and_back(self):
        dusk = self.start()
        menu = dusk._menu()
        for _ in range(3):
            toggle = [item_id for item_id, label, _ in dusk.open_menu() if label.startswith("Switch to ")][0]
            before = dusk.log().count("toggle succeeded")
            for _ in range(2):
                menu.Event(toggle, "clicked", dbus.String("", variant_level=1), dbus.UInt32(0))
            wait_until(lambda: dusk.log().count("toggle succeeded") == before + 2, timeout=30,
                       what=lambda: f"both toggles (Dusk: {dusk.log()[-800:]!r})")
            landed = re.findall(r"toggle succeeded, now dark=(\w+)", dusk.log())[-2:]
            self.assertEqual(landed, ["true", "false"])
            self.assertFalse(self.session.plasma_is_dark())
            self.assertEqual(dusk.titles()[0], "Switch to Dark Mode")

    def test_the_command_line_reads_and_writes_plasmas_scheme(self):
        self.assertEqual(self.command("status").stdout, "light\n")
        self.assertEqual(self.command("dark").returncode, 0)
        self.assertTrue(self.session.plasma_is_dark())
        self.assertEqual(self.command("status").stdout, "dark\n")
        self.assertEqual(self.command("light").returncode, 0)
        self.assertFalse(self.session.plasma_is_dark())
        self.assertEqual(self.command("status").stdout, "light\n")


def gio_loaded(dusk):
    """GIO, which Dusk needs for GSettings only."""
    with open(f"/proc/{dusk.process.pid}/maps") as maps:
        return "libgio-2.0" in maps.read()


class GnomeSession(Session):
    """mutter with no X11 at all, on a virtual monitor, with the session's bus."""

    def _start_x(self):
        self.env.update({"XDG_CURRENT_DESKTOP": "GNOME", "XDG_SESSION_TYPE": "wayland",
                         "WAYLAND_DISPLAY": "dusk-gnome"})

    def _start_bus(self):
        super()._start_bus()
        self.mutter_log = os.path.join(self.root, "mutter.log")
        with open(self.mutter_log, "w") as log:
            self.spawn([MUTTER, "--headless", "--wayland", "--no-x11", "--virtual-monitor", "1024x768",
                        "--wayland-display", "dusk-gnome"], stdout=log, stderr=log)
        wait_until(lambda: socket_answers(os.path.join(self.env["XDG_RUNTIME_DIR"], "dusk-gnome")), timeout=30,
                   what=lambda: f"mutter (its log: {self.read(self.mutter_log)[-2000:]!r})")


class RealPortalTestCase(SessionTestCase):
    """A real portal whose Settings backend follows GNOME's setting: what Dusk
    logs, prints and offers after each toggle is the side it wrote, before
    and after the portal announces it."""

    backend = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        real_portals(cls.session, cls.backend)

    def check_each_toggle_reports_the_side_written(self, dusk):
        for _ in range(3):
            for dark, offered, written in ((True, "Switch to Light Mode", "'prefer-dark'"),
                                           (False, "Switch to Dark Mode", "'default'")):
                succeeded = dusk.log().count("toggle succeeded")
                dusk.click("Switch to Dark Mode" if dark else "Switch to Light Mode")
                wait_until(lambda: dusk.log().count("toggle succeeded") > succeeded,
                           what=lambda: f"the toggle (Dusk: {dusk.log()[-600:]!r})")
                # The menu opened at once offers the way back.
                self.assertEqual(dusk.titles()[0], offered)
                self.assertEqual(self.session.color_scheme(), written)
                self.assertEqual(re.findall(r"toggle succeeded, now dark=(\w+)", dusk.log())[-1],
                                 str(dark).lower())
                status = subprocess.run([DUSK, "status"], env=self.session.env, capture_output=True, text=True,
                                        timeout=30)
                self.assertEqual(status.stdout, "dark\n" if dark else "light\n")
                self.assertEqual(dusk.tooltip(), DARK_TIP if dark else LIGHT_TIP)

    def test_changes_elsewhere_arrive_and_each_toggle_reports_the_side_written(self):
        # The portal running before Dusk starts: one the bus starts on demand
        # can take longer than Dusk's 500 ms wait on a loaded machine, and
        # then Dusk rightly reads GSettings instead.
        self.session.bus.call_blocking("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                                       "org.freedesktop.portal.Settings", "Read", "ss",
                                       ("org.freedesktop.appearance", "color-scheme"), timeout=30)
        dusk = self.start()
        # The backend chosen, and no other.
        wait_until(lambda: self.session.bus.name_has_owner(f"org.freedesktop.impl.portal.desktop.{self.backend}"),
                   what=f"xdg-desktop-portal-{self.backend}")
        for other in {"gtk", "gnome", "kde"} - {self.backend}:
            self.assertFalse(self.session.bus.name_has_owner(f"org.freedesktop.impl.portal.desktop.{other}"), other)
        self.session.set_color_scheme("prefer-dark")
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="GNOME's dark, through the portal")
        self.session.set_color_scheme("default")
        wait_until(lambda: dusk.tooltip() == LIGHT_TIP, what="GNOME's light, through the portal")
        # The portal answered: Dusk has not needed GSettings before its first
        # write. Where Debian's GTK theme for Qt is installed, Qt itself loads
        # GTK, and with it GIO, into every Qt program on GNOME.
        self.assertNotIn("the Settings portal has not answered", dusk.log())
        if not glob.glob("/usr/lib/*/qt6/plugins/platformthemes/libqgtk3.so"):
            self.assertFalse(gio_loaded(dusk), dusk.log())
        self.check_each_toggle_reports_the_side_written(dusk)


@unittest.skipUnless(os.path.isfile(os.path.join(REAL_PORTALS, "gtk.portal")), "needs xdg-desktop-portal-gtk")
class Gtk(RealPortalTestCase):
    backend = "gtk"


@unittest.skipUnless(installed(MUTTER, os.path.join(REAL_PORTALS, "gnome.portal")),
                     "needs mutter and xdg-desktop-portal-gnome")
class Gnome(RealPortalTestCase):
    session_kind = GnomeSession
    backend = "gnome"

    def test_gnome_43_offers_no_global_shortcuts_and_dusk_says_so(self):
        dusk = self.start()
        wait_until(lambda: "BindShortcuts ⌃⌥⌘D code=2 mods=6400 status=" in dusk.log(),
                   what=lambda: f"the registration (Dusk: {dusk.log()!r})")
        self.assertIn("BindShortcuts ⌃⌥⌘D code=2 mods=6400 status=-1", dusk.log())
        self.assertIn("this session's portal offers no global shortcuts", dusk.log())
        self.assertEqual(dusk.titles()[1], "Hotkey: Ctrl+Alt+Super+D (not registered)…")


if __name__ == "__main__":
    unittest.main()
