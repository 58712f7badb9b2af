#!/usr/bin/python3
"""The whole desktop switching, one desktop per class, through each
desktop's own store: GNOME's, MATE's and Cinnamon's keys in GSettings (dconf
with each desktop's schemas, as Debian installs them), Xfce's properties in
xfconf's own service (xfconfd, which the bus starts, and xfsettingsd, which
hands them to GTK programs), LXQt's files read by the real lxqt-panel.

Windows of other toolkits run beside Dusk (theme_window.py: GTK 3, and GTK 4
with libadwaita, which follows the colour scheme through Debian's Settings
portal) and, where the suite runs them, the desktop's panel. Each is
screenshotted in Light, after "Switch to Dark Mode" and after "Switch to
Light Mode", and judged by its background's luminance; the user's own light
themes must come back exactly. A theme without a dark sibling (xfwm4's
Default, MATE's Marco theme, Cinnamon's own) is named in one notification
while the rest switches.

    DUSK_SHOTS=docs/images DUSK_EXECUTABLE=build/test/dusk \\
        /usr/bin/python3 Tests/Linux/test_desktops.py

also writes each desktop's three screenshots side by side into that folder."""

import configparser
import getpass
import glob
import os
import shutil
import statistics
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from portal import real_portals  # noqa: E402
from session import PYTHON, Session, SessionTestCase, luminance, wait_until  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
# Light backgrounds are near white, dark ones near black; between is neither.
LIGHT, DARK = 0.5, 0.1
NOTICE = "Dusk could not switch the "

XFCE_PANEL = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=8;x=512;y=754"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="28"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
    </property>
  </property>
</channel>
"""

XFCE_XSETTINGS = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xsettings" version="1.0">
  <property name="Net" type="empty">
    <property name="ThemeName" type="string" value="Adwaita"/>
  </property>
</channel>
"""

LXQT_PANEL = """[General]
__userfile__=true
panels=panel1

[panel1]
plugins=spacer
position=Bottom
desktop=0

[spacer]
type=spacer
expandable=true
"""


def ini(text):
    parser = configparser.ConfigParser(interpolation=None)
    parser.read_string(text)
    return {name: dict(section) for name, section in parser.items()}


class DesktopSession(Session):
    def __init__(self):
        super().__init__(tray_host=True)
        # GTK 3 without a desktop's settings daemon, and libadwaita always,
        # read the desktop's settings through Debian's portal.
        if not real_portals(self, "gtk"):
            raise unittest.SkipTest("xdg-desktop-portal-gtk is not installed")
        log = os.path.join(self.root, "notifications.log")
        with open(log, "w") as out:
            self.spawn([PYTHON, os.path.join(HERE, "notification_server.py")], stdout=out)
        self.notifications_log = log
        wait_until(lambda: "ready" in self.read(log), what="the notification server")

    def notices(self):
        return [line for line in self.read(self.notifications_log).splitlines() if line.startswith("notify")]


class DesktopCase(SessionTestCase):
    """A desktop: `desktop` for XDG_CURRENT_DESKTOP; each test writes the
    user's light themes, starts what that desktop runs, then Dusk."""

    session_kind = DesktopSession
    desktop = ""
    # (toolkit, title, x, y) of the windows beside Dusk.
    windows = (("gtk3", "gtk3-window", 40, 60), ("adw", "adw-window", 340, 60), ("qt6", "qt6-window", 640, 60))
    # The windows that do not follow on this desktop, and stay light.
    stay_light = ("qt6-window",)

    def setUp(self):
        super().setUp()
        self.session.env["XDG_CURRENT_DESKTOP"] = self.desktop
        self.shots = []

    def write_config(self, path, text):
        full = self.config(path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as file:
            file.write(text)

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.session.env, capture_output=True, text=True, timeout=30)

    def start_xsettings_daemon(self, argv, package):
        """The desktop's XSETTINGS daemon, which hands GTK 3 programs their
        theme while they run; it has taken over once it has written Xft's
        resources."""
        found = glob.glob(argv[0]) if "/" in argv[0] else [shutil.which(argv[0])]
        if not found or not found[0]:
            self.skipTest(f"{os.path.basename(argv[0])} ({package}) is not installed")
        argv = [found[0], *argv[1:]]
        self.session.spawn(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: "Xft." in subprocess.run(["xprop", "-root", "RESOURCE_MANAGER"], env=self.session.env,
                                                    capture_output=True, text=True).stdout,
                   what=f"{argv[0]} to take over XSETTINGS")

    def open_windows(self, env=None):
        for toolkit, title, x, y in self.windows:
            program = ([os.path.join(os.environ["DUSK_QT_WINDOWS"], f"{toolkit}_window")] if toolkit.startswith("qt")
                       else [PYTHON, os.path.join(HERE, "theme_window.py"), toolkit])
            window = self.session.spawn([*program, title], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        env=env or {})
            self.assertEqual(window.stdout.readline().strip(), b"ready")
            window_id = self.xdotool("search", "--onlyvisible", "--name", f"^{title}$").stdout.split()[0]
            self.xdotool("windowmove", window_id, str(x), str(y))

    def region(self, title):
        out = self.xdotool("search", "--onlyvisible", "--name", f"^{title}$", "getwindowgeometry", "--shell").stdout
        values = dict(line.split("=") for line in out.split())
        return f"{values['WIDTH']}x{values['HEIGHT']}+{values['X']}+{values['Y']}"

    def background(self, geometry):
        """The luminance of the most common colour of a screen region: the
        background, whatever text or borders sit on it."""
        raw = subprocess.run(["import", "-window", "root", "-crop", geometry, "-depth", "8", "rgb:-"],
                             env=self.session.env, capture_output=True, check=True).stdout
        pixels = [raw[i:i + 3] for i in range(0, len(raw), 3)]
        return luminance(tuple(statistics.mode(pixels)))

    def regions(self):
        return {title: self.region(title) for _, title, _, _ in self.windows}

    def wait_side(self, regions, dark):
        side = "dark" if dark else "light"
        for name, geometry in regions.items():
            if name in self.stay_light:
                continue
            wait_until(lambda: (self.background(geometry) < DARK) if dark else (self.background(geometry) > LIGHT),
                       timeout=15, interval=0.2,
                       what=lambda: f"{name} to be {side} (luminance {self.background(geometry):.3f})")
        # Measured once the others have followed.
        for name in self.stay_light:
            self.assertGreater(self.background(regions[name]), LIGHT, f"{name} in {side}")
        self.shots.append(os.path.join(self.session.root, f"{side}-{len(self.shots)}.png"))
        subprocess.run(["import", "-window", "root", self.shots[-1]], env=self.session.env, check=True)

    # Whether a Qt 6 program started now takes the GTK theme's colours:
    # through Debian's GTK platform theme for Qt 6, which reads them once,
    # at start, on the desktops whose GTK theme reaches GTK 3 here.
    qt_reads_gtk_at_start = True

    def check_qt_started_in_dark(self):
        if not self.qt_reads_gtk_at_start:
            return
        if not glob.glob("/usr/lib/*/qt6/plugins/platformthemes/libqgtk3.so"):
            return  # qt6-gtk-platformtheme not installed: Qt's own light palette, as the window before shows
        window = self.session.spawn([os.path.join(os.environ["DUSK_QT_WINDOWS"], "qt6_window"), "qt6-later"],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.assertEqual(window.stdout.readline().strip(), b"ready")
        geometry = self.region("qt6-later")
        self.assertLess(self.background(geometry), DARK, "a Qt 6 program started in Dark")
        window.terminate()
        window.wait(timeout=5)

    def switch(self, dusk, title, tooltip):
        dusk.click(title)
        wait_until(lambda: dusk.tooltip() == tooltip, what=lambda: f"{tooltip!r}, log {dusk.log()!r}")

    def round_trip(self, regions, check_dark, check_light):
        """Light, Dark, Light again: each measured, each store checked."""
        dusk = self.start()
        self.wait_side(regions, dark=False)
        self.switch(dusk, "Switch to Dark Mode", "Dusk – switch to Light Mode")
        self.wait_side(regions, dark=True)
        check_dark()
        self.check_qt_started_in_dark()
        self.switch(dusk, "Switch to Light Mode", "Dusk – switch to Dark Mode")
        self.wait_side(regions, dark=False)
        check_light()
        self.assertNotIn("couldn't switch", dusk.log())
        self.save_row()
        return dusk

    def save_row(self):
        """Light, Dark, Light again side by side: the windows, and the
        bottom of the screen where the panels are."""
        out = os.environ.get("DUSK_SHOTS")
        if not out:
            return
        frames = []
        for shot in self.shots:
            frames += ["(", shot, "-crop", "880x180+20+40", "+repage", "(", shot, "-crop", "880x30+0+738", "+repage",
                       ")", "-append", ")", "-size", "12x210", "xc:white"]
        subprocess.run(["convert", *frames[:-3], "+append",
                        os.path.join(os.path.abspath(out), f"desktop-{type(self).__name__.lower()}.png")], check=True)

    def notice_naming(self, theme):
        return wait_until(lambda: [n for n in self.session.notices() if NOTICE in n and f"“{theme}”" in n],
                          what=lambda: f"a notice naming {theme} in {self.session.notices()}")


class Gnome(DesktopCase):
    """GTK 3 follows the GTK theme through GNOME's settings daemon's XSETTINGS
    (gsd-xsettings), libadwaita the colour scheme."""

    desktop = "GNOME"

    def test_colour_scheme_and_gtk_theme_switch_and_the_users_theme_comes_back(self):
        interface = "org.gnome.desktop.interface"
        self.session.gsettings("set", interface, "gtk-theme", "Adwaita")
        self.start_xsettings_daemon(["/usr/libexec/gsd-xsettings"], "gnome-settings-daemon")
        self.open_windows()
        gtk_theme = lambda: self.session.gsettings("get", interface, "gtk-theme")  # noqa: E731
        self.round_trip(self.regions(), lambda: self.assertEqual(gtk_theme(), "'Adwaita-dark'"),
                        lambda: self.assertEqual(gtk_theme(), "'Adwaita'"))


class Xfce(DesktopCase):
    """xfconfd keeps the settings and xfsettingsd hands them to every GTK 3
    program, xfce4-panel among them, while they run."""

    desktop = "XFCE"

    def xfconf(self, channel, prop):
        return subprocess.run(["xfconf-query", "-c", channel, "-p", prop], env=self.session.env,
                              capture_output=True, text=True).stdout.strip()

    def test_gtk_theme_switches_everywhere_and_xfwm4s_theme_without_a_sibling_is_named(self):
        self.write_config("xfce4/xfconf/xfce-perchannel-xml/xsettings.xml", XFCE_XSETTINGS)
        self.write_config("xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml", XFCE_PANEL)
        self.start_xsettings_daemon(["xfsettingsd", "--disable-wm-check", "--replace"], "xfce4-settings")
        self.session.spawn(["xfce4-panel", "--disable-wm-check"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        self.open_windows()
        regions = {**self.regions(), "xfce4-panel": "1024x28+0+740"}
        dusk = self.round_trip(regions,
                               lambda: self.assertEqual(self.xfconf("xsettings", "/Net/ThemeName"), "Adwaita-dark"),
                               lambda: self.assertEqual(self.xfconf("xsettings", "/Net/ThemeName"), "Adwaita"))
        # Twice without a sibling, one notice.
        notices = self.notice_naming("Default")
        self.assertEqual(len(notices), 1)
        self.assertIn("xfwm4 theme", notices[0])
        # The user picks a dark theme in Xfce's own settings, then a light one.
        for theme, tooltip in (("Adwaita-dark", "Dusk – switch to Light Mode"),
                               ("Adwaita", "Dusk – switch to Dark Mode")):
            subprocess.run(["xfconf-query", "-c", "xsettings", "-p", "/Net/ThemeName", "-s", theme],
                           env=self.session.env, check=True)
            wait_until(lambda: dusk.tooltip() == tooltip, what=f"{tooltip!r} after {theme} was chosen elsewhere")


class Mate(DesktopCase):
    """MATE's settings daemon hands its keys to GTK 3. Marco's default theme
    has no dark sibling installed."""

    desktop = "MATE"

    def test_gtk_theme_switches_and_marcos_theme_without_a_sibling_is_named(self):
        self.session.gsettings("set", "org.mate.interface", "gtk-theme", "Adwaita")
        self.session.gsettings("set", "org.mate.Marco.general", "theme", "Atlanta")
        self.start_xsettings_daemon(["/usr/bin/mate-settings-daemon"], "mate-settings-daemon")
        self.open_windows()
        gtk_theme = lambda: self.session.gsettings("get", "org.mate.interface", "gtk-theme")  # noqa: E731
        self.round_trip(self.regions(), lambda: self.assertEqual(gtk_theme(), "'Adwaita-dark'"),
                        lambda: self.assertEqual(gtk_theme(), "'Adwaita'"))
        self.assertEqual(self.session.gsettings("get", "org.mate.Marco.general", "theme"), "'Atlanta'")
        self.assertIn("Marco theme", self.notice_naming("Atlanta")[0])

    def test_a_theme_chosen_in_mates_settings_moves_the_icon(self):
        self.session.gsettings("set", "org.mate.interface", "gtk-theme", "Adwaita")
        dusk = self.start()
        for theme, tooltip in (("Adwaita-dark", "Dusk – switch to Light Mode"),
                               ("Adwaita", "Dusk – switch to Dark Mode")):
            self.session.gsettings("set", "org.mate.interface", "gtk-theme", theme)
            wait_until(lambda: dusk.tooltip() == tooltip, what=f"{tooltip!r} after {theme} was chosen elsewhere")


class Cinnamon(DesktopCase):
    """Cinnamon's GTK theme and its own theme, in its schemas; its built-in
    theme has no dark sibling, and a hand-written pair gives it one."""

    desktop = "X-Cinnamon"

    def test_both_themes_switch_through_a_hand_written_pair_and_come_back(self):
        if subprocess.run(["gsettings", "list-keys", "org.cinnamon.theme"], env=self.session.env,
                          capture_output=True).returncode != 0:
            self.skipTest("Cinnamon's schema org.cinnamon.theme (cinnamon-common) is not installed")
        themes = os.path.join(self.session.env["XDG_DATA_HOME"], "themes")
        for name in ("Dusky", "Dusky-Dark"):
            os.makedirs(os.path.join(themes, name, "cinnamon"), exist_ok=True)
        self.write_config("dusk/themes.conf", "# Cinnamon's panel\nLumen = Dusky-Dark\n")
        self.session.gsettings("set", "org.cinnamon.desktop.interface", "gtk-theme", "Adwaita")
        self.session.gsettings("set", "org.cinnamon.theme", "name", "Lumen")
        os.makedirs(os.path.join(themes, "Lumen", "cinnamon"), exist_ok=True)
        self.start_xsettings_daemon(["/usr/lib/*/cinnamon-settings-daemon/csd-xsettings"], "cinnamon-settings-daemon")
        self.open_windows()
        get = lambda schema, key: self.session.gsettings("get", schema, key)  # noqa: E731

        def dark():
            self.assertEqual(get("org.cinnamon.desktop.interface", "gtk-theme"), "'Adwaita-dark'")
            self.assertEqual(get("org.cinnamon.theme", "name"), "'Dusky-Dark'")

        def light():
            self.assertEqual(get("org.cinnamon.desktop.interface", "gtk-theme"), "'Adwaita'")
            self.assertEqual(get("org.cinnamon.theme", "name"), "'Lumen'")
        self.round_trip(self.regions(), dark, light)
        self.assertEqual([n for n in self.session.notices() if NOTICE in n], [])

    def test_cinnamons_own_theme_has_no_sibling_and_the_rest_switches(self):
        if subprocess.run(["gsettings", "list-keys", "org.cinnamon.theme"], env=self.session.env,
                          capture_output=True).returncode != 0:
            self.skipTest("Cinnamon's schema org.cinnamon.theme (cinnamon-common) is not installed")
        self.session.gsettings("set", "org.cinnamon.desktop.interface", "gtk-theme", "Adwaita")
        self.session.gsettings("set", "org.cinnamon.theme", "name", "cinnamon")
        dusk = self.start()
        self.switch(dusk, "Switch to Dark Mode", "Dusk – switch to Light Mode")
        self.assertEqual(self.session.gsettings("get", "org.cinnamon.desktop.interface", "gtk-theme"),
                         "'Adwaita-dark'")
        self.assertIn("Cinnamon theme", self.notice_naming("cinnamon")[0])
        self.switch(dusk, "Switch to Light Mode", "Dusk – switch to Dark Mode")
        self.assertEqual(self.session.gsettings("get", "org.cinnamon.theme", "name"), "'cinnamon'")


class Lxqt(DesktopCase):
    """LXQt's theme and palette in lxqt.conf, read by the real lxqt-panel and
    by LXQt's Qt platform theme (lxqt-qtplugin, for Qt 5 in LXQt 1.2), which
    follow them while they run; light and dark are LXQt's own pair, and the
    Dark palette LXQt ships. A Qt 6 program cannot load LXQt 1.2's platform
    theme, and stays light."""

    desktop = "LXQt"
    qt_reads_gtk_at_start = False  # no XSETTINGS daemon here
    windows = (("qt6", "qt6-window", 40, 60), ("adw", "adw-window", 340, 60), ("qt5", "qt5-window", 640, 60))
    # A user's own light palette, which comes back exactly.
    palette = ("[Palette]\nbase_color=#f4f4f2\nhighlight_color=#3daee9\nhighlighted_text_color=#ffffff\n"
               "link_color=#2a65d0\nlink_visited_color=#8e44ad\ntext_color=#202020\nwindow_color=#e8e8e6\n"
               "window_text_color=#1c1c1c\n")

    def palette_section(self):
        conf = self.session.read(self.config("lxqt", "lxqt.conf"))
        start = conf.find("[Palette]")
        return "" if start < 0 else conf[start:].split("\n\n")[0].strip() + "\n"

    def test_lxqt_theme_and_palette_switch_the_panel_and_qt_and_come_back(self):
        if not os.path.exists(os.path.join(os.environ["DUSK_QT_WINDOWS"], "qt5_window")):
            # Built only where Qt 5's headers (qtbase5-dev) are; the palette is still checked in lxqt.conf.
            self.windows = tuple(window for window in self.windows if window[0] != "qt5")
        self.write_config("lxqt/panel.conf", LXQT_PANEL)
        self.write_config("lxqt/lxqt.conf", "[General]\ntheme=light\nicon_theme=breeze\n\n" + self.palette)
        # What an LXQt session gives every Qt program.
        qt = {"QT_QPA_PLATFORMTHEME": "lxqt"}
        self.session.spawn(["lxqt-panel"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=qt)
        self.open_windows(env=qt)
        conf = lambda: self.session.read(self.config("lxqt", "lxqt.conf"))  # noqa: E731
        regions = {**self.regions(), "lxqt-panel": "600x20+200+745"}

        def dark():
            self.assertIn("theme=dark", conf())
            self.assertIn("window_color=#232323", self.palette_section())  # LXQt's Dark palette

        def light():
            self.assertIn("theme=light", conf())
            self.assertEqual(self.palette_section(), self.palette)
        self.round_trip(regions, dark, light)
        self.assertIn("icon_theme=breeze", conf())

    def test_a_theme_chosen_in_lxqts_settings_moves_the_icon(self):
        self.write_config("lxqt/lxqt.conf", "[General]\ntheme=light\n")
        dusk = self.start()
        for theme, tooltip in (("dark", "Dusk – switch to Light Mode"), ("light", "Dusk – switch to Dark Mode")):
            self.write_config("lxqt/lxqt.conf", f"[General]\ntheme={theme}\n")
            wait_until(lambda: dusk.tooltip() == tooltip, what=f"{tooltip!r} after {theme} was chosen elsewhere")


class PartFails(DesktopCase):
    """One part of a switch refused by the desktop's own store: what had
    landed goes back, the colour scheme is not written, and the toggle is
    reported as not done, with the store's reason."""

    def lxqt_gtk_files(self):
        return self.session.read(self.config("gtk-3.0", "settings.ini"))

    def assert_nothing_switched(self, dusk, reason, went_back):
        failure = wait_until(lambda: [line for line in dusk.log().splitlines() if "couldn't switch to Dark: " in line],
                             what=lambda: f"the failure in {dusk.log()!r}")[0]
        self.assertIn(reason, failure)
        self.assertTrue(failure.endswith(went_back), failure)
        self.assertEqual(dusk.tooltip(), "Dusk – switch to Dark Mode")
        self.assertEqual(self.session.gsettings("get", "org.gnome.desktop.interface", "color-scheme"), "'default'")

    def assert_icon_settles_light(self, dusk):
        """The theme that landed for a moment, and went back, was followed as
        any change is; the icon ends where the desktop is."""
        wait_until(lambda: dusk.tooltip() == "Dusk – switch to Dark Mode",
                   what=lambda: f"the icon back on Light, log {dusk.log()!r}")

    def test_xfconfd_refusing_xfwm4s_theme_puts_the_gtk_theme_back(self):
        self.session.env["XDG_CURRENT_DESKTOP"] = "XFCE"
        themes = os.path.join(self.session.env["XDG_DATA_HOME"], "themes")
        for name in ("Dusky", "Dusky-dark"):
            os.makedirs(os.path.join(themes, name, "xfwm4"), exist_ok=True)
        # An administrator's lock on this user, in a system folder of xfconfd's
        # own (xfconf 4.16 takes a list of users, and "*" for no one).
        system = os.path.join(self.session.root, "xdg")
        os.makedirs(os.path.join(system, "xfce4", "xfconf", "xfce-perchannel-xml"))
        with open(os.path.join(system, "xfce4", "xfconf", "xfce-perchannel-xml", "xfwm4.xml"), "w") as file:
            file.write('<?xml version="1.0" encoding="UTF-8"?>\n<channel name="xfwm4" version="1.0">\n'
                       '  <property name="general" type="empty">\n'
                       '    <property name="theme" type="string" value="Dusky" '
                       f'locked="{getpass.getuser()}"/>\n  </property>\n</channel>\n')
        self.write_config("xfce4/xfconf/xfce-perchannel-xml/xsettings.xml", XFCE_XSETTINGS)
        self.session.spawn(glob.glob("/usr/lib/*/xfce4/xfconf/xfconfd")[:1],
                           env={"XDG_CONFIG_DIRS": system}, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        xfconf = lambda channel, prop: subprocess.run(  # noqa: E731
            ["xfconf-query", "-c", channel, "-p", prop], env=self.session.env, capture_output=True,
            text=True).stdout.strip()
        wait_until(lambda: xfconf("xfwm4", "/general/theme") == "Dusky", what="xfconfd with the lock")
        dusk = self.start()
        dusk.click("Switch to Dark Mode")
        self.assert_nothing_switched(dusk, 'Permission denied while modifying property "/general/theme"',
                                     "(the GTK theme went back to what it was)")
        wait_until(lambda: xfconf("xsettings", "/Net/ThemeName") == "Adwaita",
                   what=lambda: f"the GTK theme put back, not {xfconf('xsettings', '/Net/ThemeName')}")
        self.assert_icon_settles_light(dusk)

    def test_gtk_2s_file_unsaveable_on_lxqt_leaves_lxqts_files_as_they_were(self):
        self.session.env["XDG_CURRENT_DESKTOP"] = "LXQt"
        conf = "[General]\ntheme=light\nicon_theme=breeze\n"
        gtk3 = "[Settings]\ngtk-theme-name=Adwaita\ngtk-font-name=Sans 10\n"
        self.write_config("lxqt/lxqt.conf", conf)
        self.write_config("lxqt/lxqt-config-appearance.conf", "[General]\nControlGTKThemeEnabled=true\n")
        self.write_config("gtk-3.0/settings.ini", gtk3)
        # GTK 2's file under a plain file: no save there can work, even as root.
        dusk = self.start(env={"GTK2_RC_FILES": "/dev/null/gtkrc-2.0"})
        dusk.click("Switch to Dark Mode")
        self.assert_nothing_switched(dusk, "/dev/null/gtkrc-2.0 could not be saved",
                                     "(the LXQt theme and the LXQt palette went back to what they were)")
        # As QSettings writes it, LXQt's own way: the same keys and values.
        self.assertEqual(ini(self.session.read(self.config("lxqt", "lxqt.conf"))), ini(conf))
        self.assertEqual(self.lxqt_gtk_files(), gtk3)
        self.assert_icon_settles_light(dusk)


if __name__ == "__main__":
    unittest.main()
