#!/usr/bin/python3
"""Dusk's place in the tray when the tray is not there yet, goes away, or
never comes: the way a login session starts Dusk before its panel.

Components: Xvfb, a private D-Bus session bus, trayer (Debian's XEmbed
system tray, a real one), tray_host.py (a StatusNotifierWatcher and host:
Debian's panels carry theirs inside the panel process, which these tests
need to start and stop on their own) and notification_server.py (a peer
written from the Desktop Notifications Specification, since Debian's
notification servers report nothing of what they were given).

DUSK_EXECUTABLE names the built program."""

import os
import re
import subprocess
import sys
import time
import unittest
from xml.etree import ElementTree

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import dbus  # noqa: E402
from dbus.mainloop.glib import DBusGMainLoop  # noqa: E402
from gi.repository import GLib  # noqa: E402
from panel_contrast import XFCE_PANEL  # noqa: E402
from session import PYTHON, Session, contrast, wait_until  # noqa: E402

DUSK = os.environ.get("DUSK_EXECUTABLE", "")
HERE = os.path.dirname(os.path.abspath(__file__))

LIGHT_TIP = "Dusk – switch to Dark Mode"
NO_TRAY_LINE = "no system tray here"
# Long enough for any Dusk to have decided that there is no tray.
NOTICE_DEADLINE = 20


class TrayTestCase(unittest.TestCase):
    tray_host = False

    def setUp(self):
        self.session = Session(tray_host=self.tray_host)
        self.addCleanup(self.session.close)

    def start_dusk(self, **kwargs):
        dusk = self.session.start_dusk(DUSK, **kwargs)
        self.addCleanup(dusk.stop)
        return dusk

    def registrations(self, dusk):
        """The watchers' registrations of this Dusk's item, oldest first."""
        pid = dusk.process.pid
        return [item for item in self.session.registered_items() if f"-{pid}-" in item]

    def wait_for_registrations(self, dusk, count, timeout=10):
        wait_until(lambda: len(self.registrations(dusk)) >= count, timeout=timeout,
                   what=lambda: f"registration {count} of Dusk's item (so far {self.registrations(dusk)}; "
                                f"Dusk's log: {dusk.log()!r})")
        dusk.service = self.registrations(dusk)[-1]

    def embedded_icons(self):
        """Dusk's windows that sit inside another client's window: the icons
        an XEmbed tray has taken in. Top-level windows are the root's
        children, indented five spaces by xwininfo."""
        tree = subprocess.run(["xwininfo", "-root", "-tree"], env=self.session.env, capture_output=True,
                              text=True).stdout
        return [line for line in tree.splitlines()
                if '("dusk" "dusk")' in line and len(line) - len(line.lstrip(" ")) > 5]

    def start_notification_server(self):
        self.notifications_log = os.path.join(self.session.root, "notifications.log")
        with open(self.notifications_log, "w") as log:
            self.session.spawn([PYTHON, os.path.join(HERE, "notification_server.py")], stdout=log)
        wait_until(lambda: "ready" in Session.read(self.notifications_log), what="the notification server")

    def notifications(self):
        return [line for line in Session.read(self.notifications_log).splitlines() if line.startswith("notify ")]

    def closed(self):
        return [line for line in Session.read(self.notifications_log).splitlines() if line.startswith("close ")]

    def start_trayer(self):
        trayer = self.session.spawn(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                                     "--height", "24"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: '("panel" "trayer")' in subprocess.run(
            ["xwininfo", "-root", "-tree"], env=self.session.env, capture_output=True, text=True).stdout,
                   timeout=20, what="trayer's panel")
        return trayer


class SymbolicIcons(unittest.TestCase):
    """Hosts recolour a symbolic icon by its filled shapes (GTK) or by the
    ColorScheme-Text class (KDE); a stroke or a second colour stays as
    drawn, dark on a dark panel."""

    def test_the_symbols_are_filled_paths_in_one_colour(self):
        icons = os.path.join(os.path.dirname(HERE), "..", "Resources", "icons")
        for name in ("dusk-sun-symbolic.svg", "dusk-moon-symbolic.svg"):
            with self.subTest(name):
                root = ElementTree.parse(os.path.join(icons, name)).getroot()
                shapes = [element for element in root.iter() if element.tag.split("}")[-1] not in ("svg", "style")]
                self.assertTrue(shapes)
                for shape in shapes:
                    self.assertEqual(shape.tag.split("}")[-1], "path")
                    self.assertEqual(shape.get("class"), "ColorScheme-Text")
                    self.assertEqual(shape.get("fill"), "currentColor")
                    self.assertFalse([key for key in shape.attrib if key.startswith("stroke")])
                    self.assertNotIn("stroke", shape.get("style", ""))
                style = "".join(element.text or "" for element in root.iter() if element.tag.endswith("style"))
                self.assertEqual(len(re.findall(r"#[0-9a-fA-F]{3,6}", style)), 1)


class LateTray(TrayTestCase):
    def test_a_tray_host_one_second_late_gets_the_item(self):
        dusk = self.start_dusk(wait_for_tray=False)
        time.sleep(1)  # the panel starts a second after Dusk
        self.session.start_tray_host()
        self.wait_for_registrations(dusk, 1)
        self.assertEqual(dusk.tooltip(), LIGHT_TIP)
        self.assertEqual(dusk.icon_name(), "dusk-sun-symbolic")
        self.assertEqual(dusk.titles()[0], "Switch to Dark Mode")

    def test_a_tray_host_ten_seconds_late_gets_the_item_and_the_notice_is_withdrawn(self):
        self.start_notification_server()
        dusk = self.start_dusk(wait_for_tray=False)
        time.sleep(10)  # a slow login: the panel comes ten seconds after Dusk
        self.session.start_tray_host()
        self.wait_for_registrations(dusk, 1)
        self.assertEqual(dusk.tooltip(), LIGHT_TIP)
        # Told at the time that there was no tray; now there is one.
        self.assertEqual(len(self.notifications()), 1)
        wait_until(lambda: self.closed(), what="the notice to be withdrawn")
        self.assertEqual(self.closed()[0].split()[1], self.notifications()[0].split()[1])
        # The notice was wrong, so the desktop does not count as told: when
        # it really has no tray, the next start says so.
        dusk.stop()
        self.session.stop_tray_host()
        self.start_dusk(wait_for_tray=False)
        wait_until(lambda: len(self.notifications()) == 2, timeout=NOTICE_DEADLINE, what="the notice at the next start")

    def test_a_panel_of_its_own_desktop_later_than_five_seconds_means_no_notice(self):
        # xfce4-panel, Xfce's own, whose tray plugin is the watcher and host.
        for path, text in {"xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml": XFCE_PANEL}.items():
            os.makedirs(os.path.dirname(os.path.join(self.session.env["XDG_CONFIG_HOME"], path)), exist_ok=True)
            with open(os.path.join(self.session.env["XDG_CONFIG_HOME"], path), "w") as file:
                file.write(text)
        self.start_notification_server()
        dusk = self.start_dusk(wait_for_tray=False, env={"XDG_CURRENT_DESKTOP": "XFCE"})
        time.sleep(8)  # a slow login: Xfce's panel comes eight seconds after Dusk
        self.session.spawn(["xfce4-panel", "--disable-wm-check"], env={"XDG_CURRENT_DESKTOP": "XFCE"},
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: any(f"-{dusk.process.pid}-" in item for item in self.watched_items()), timeout=30,
                   what=lambda: f"Dusk's item in xfce4-panel (Dusk's log: {dusk.log()!r})")
        self.assertEqual(self.notifications(), [])
        self.assertNotIn(NO_TRAY_LINE, dusk.log())

    def watched_items(self):
        """The items the session's StatusNotifierWatcher holds."""
        try:
            watcher = self.session.bus.get_object("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher")
            return [str(item) for item in dbus.Interface(watcher, dbus.PROPERTIES_IFACE).Get(
                "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems")]
        except dbus.DBusException:
            return []


class RestartedTray(TrayTestCase):
    tray_host = True

    def test_a_restarted_tray_host_gets_the_item_each_time(self):
        dusk = self.start_dusk()
        self.wait_for_registrations(dusk, 1)
        for restart in (2, 3):
            self.session.stop_tray_host()
            self.session.start_tray_host()
            self.wait_for_registrations(dusk, restart)
            self.assertEqual(dusk.tooltip(), LIGHT_TIP)
            self.assertEqual(dusk.titles()[-1], "Quit Dusk")
        # The same item each time, not a new one per tray.
        self.assertEqual(len(set(self.registrations(dusk))), 1)


class ExportedMenu(TrayTestCase):
    tray_host = True

    def test_a_host_reads_check_marks_and_changes_as_they_happen(self):
        dusk = self.start_dusk()
        # A host listens for changes on a connection of its own, with a loop.
        listener = dbus.bus.BusConnection(self.session.env["DBUS_SESSION_BUS_ADDRESS"], mainloop=DBusGMainLoop())
        updates = []
        listener.add_signal_receiver(lambda changed, removed: updates.extend(changed), "ItemsPropertiesUpdated",
                                     "com.canonical.dbusmenu", dusk.service)
        revisions = []
        listener.add_signal_receiver(lambda revision, parent: revisions.append(int(revision)), "LayoutUpdated",
                                     "com.canonical.dbusmenu", dusk.service)
        menu_path = str(dusk.item_property("Menu"))
        menu = dbus.Interface(listener.get_object(dusk.service, menu_path), "com.canonical.dbusmenu")
        context = GLib.MainContext.default()

        def announced(title):
            while context.iteration(False):
                pass
            return any(str(properties.get("label")) == title for _, properties in updates)

        # Opening the menu brings its first title up to date, says so, and
        # has the host read the menu again before it sizes it.
        self.assertTrue(menu.AboutToShow(0))
        wait_until(lambda: announced("Switch to Dark Mode"),
                   what=lambda: f"the new title announced (updates so far: {updates})")
        self.assertFalse(menu.AboutToShow(0))
        # A title changed comes as a new revision of the layout too, which a
        # host lays out afresh: GetLayout answers the latest.
        self.session.set_color_scheme("prefer-dark")
        wait_until(lambda: dusk.tooltip() == "Dusk – switch to Light Mode", what="the dark tooltip")
        self.assertTrue(menu.AboutToShow(0))
        wait_until(lambda: announced("Switch to Light Mode"), what="the title changed from outside")
        wait_until(lambda: len(revisions) >= 2 and int(menu.GetLayout(0, -1, [])[0]) == revisions[-1],
                   what=lambda: f"the layout's revision to follow the signals ({revisions})")
        self.assertEqual(revisions, sorted(set(revisions)))
        self.session.set_color_scheme("default")
        wait_until(lambda: dusk.titles()[0] == "Switch to Dark Mode", what="the first title back")

        layout = dusk.open_menu()
        self.assertEqual([label for _, label, _ in layout],
                         ["Switch to Dark Mode", "Hotkey: Ctrl+Alt+Super+D…", "-", "Launch at Login", "-", "Quit Dusk"])
        entries = {label: (item_id, properties) for item_id, label, properties in layout}
        login = entries["Launch at Login"][1]
        self.assertEqual((str(login["toggle-type"]), int(login["toggle-state"])), ("checkmark", 0))
        quit_item = entries["Quit Dusk"][1]
        # No key beside it: a tray host shows one but never sends it.
        self.assertNotIn("shortcut", quit_item)
        self.assertNotIn("toggle-type", quit_item)
        # Properties read one group at a time, and only those asked for.
        ids = [entries["Launch at Login"][0], entries["Quit Dusk"][0]]
        group = menu.GetGroupProperties(dbus.Array(ids, signature="i"), dbus.Array(["label"], signature="s"))
        self.assertEqual([(int(item_id), dict(properties)) for item_id, properties in group],
                         [(ids[0], {"label": "Launch at Login"}), (ids[1], {"label": "Quit Dusk"})])


    def test_the_layout_a_host_reads_first_has_the_titles_of_now(self):
        # Xfce's panel reads the layout when the item comes and sizes the menu
        # by it: a title that grows once the menu opens is cut short there.
        dusk = self.start_dusk()
        menu = dbus.Interface(self.session.bus.get_object(dusk.service, str(dusk.item_property("Menu"))),
                              "com.canonical.dbusmenu")
        _, layout = menu.GetLayout(0, -1, dbus.Array(["label"], signature="s"))
        self.assertEqual([str(dict(child[1]).get("label", "-")) for child in layout[2]],
                         ["Switch to Dark Mode", "Hotkey: Ctrl+Alt+Super+D…", "-", "Launch at Login", "-", "Quit Dusk"])


class NoTray(TrayTestCase):
    def test_without_a_tray_the_user_is_told_once_by_notification_and_log(self):
        self.start_notification_server()
        dusk = self.start_dusk(wait_for_tray=False)
        wait_until(lambda: self.notifications(), timeout=NOTICE_DEADLINE, what="the notification")
        wait_until(lambda: NO_TRAY_LINE in dusk.log(), what="the log line")
        summary, body = self.notifications()[0].split(" ", 2)[2].split("\t")
        self.assertEqual(summary, "Dusk is running without a tray icon")
        for advice in ("shortcut", "AppIndicator", "pkill -x dusk"):
            self.assertIn(advice, body)
            self.assertIn(advice, dusk.log())
        time.sleep(2)  # a repeated notice would come within this
        self.assertEqual(len(self.notifications()), 1)
        self.assertEqual(dusk.log().count(NO_TRAY_LINE), 1)
        self.assertEqual(self.embedded_icons(), [])

        # The next start on this desktop logs it again, but does not nag.
        dusk.stop()
        again = self.start_dusk(wait_for_tray=False)
        wait_until(lambda: NO_TRAY_LINE in again.log(), timeout=NOTICE_DEADLINE, what="the log line again")
        time.sleep(1)  # the notification would follow the line at once
        self.assertEqual(len(self.notifications()), 1)

    def test_a_tray_in_time_means_no_notice(self):
        self.start_notification_server()
        self.session.start_tray_host()
        dusk = self.start_dusk()
        time.sleep(7)  # past the moment Dusk looks for a tray
        self.assertEqual(self.notifications(), [])
        self.assertNotIn(NO_TRAY_LINE, dusk.log())


class XEmbedOnly(TrayTestCase):
    def test_an_xembed_tray_gets_an_icon_until_a_watcher_comes(self):
        dusk = self.start_dusk(wait_for_tray=False)
        time.sleep(1)  # the XEmbed tray comes after Dusk too
        self.start_trayer()
        wait_until(lambda: len(self.embedded_icons()) == 1, timeout=20, what="Dusk's icon in trayer")
        self.assertEqual(self.registrations(dusk), [])

        # A StatusNotifierItem host takes over from the XEmbed tray...
        self.session.start_tray_host()
        self.wait_for_registrations(dusk, 1)
        wait_until(lambda: self.embedded_icons() == [], what="the XEmbed icon to go")
        self.assertEqual(dusk.tooltip(), LIGHT_TIP)

        # ...and when it goes, the XEmbed tray is the tray again.
        self.session.stop_tray_host()
        wait_until(lambda: len(self.embedded_icons()) == 1, timeout=20, what="Dusk's icon back in trayer")
        self.assertNotIn(NO_TRAY_LINE, dusk.log())

    def test_in_dark_the_xembed_icon_still_reads_on_a_light_tray(self):
        # Dusk's own palette is dark in Dark; trayer stays light grey.
        self.session.set_color_scheme("prefer-dark")
        self.start_trayer()
        self.start_dusk(wait_for_tray=False)
        wait_until(lambda: len(self.embedded_icons()) == 1, timeout=20, what="Dusk's icon in trayer")
        wait_until(lambda: self.icon_contrast() >= 3.0, timeout=10,
                   what=lambda: f"a contrast of 3:1 (now {self.icon_contrast():.2f}:1)")

    def icon_contrast(self):
        """The contrast ratio (WCAG 2) between the embedded icon's main shape
        and the tray behind it, as the screen shows them."""
        line = self.embedded_icons()[0]
        width, height, x, y = map(int, re.search(r"(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)", line).groups())
        raw = subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}", "-depth", "8", "rgb:-"],
                             env=self.session.env, capture_output=True, check=True).stdout
        pixels = [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]
        behind = max(set(pixels), key=pixels.count)
        distance = [sum((a - b) ** 2 for a, b in zip(pixel, behind)) for pixel in pixels]
        shape = [pixel for pixel, far in zip(pixels, distance) if far >= 0.64 * max(distance) and far > 0]
        if not shape:
            return 1.0
        main = tuple(sorted(channel)[len(channel) // 2] for channel in zip(*shape))
        return contrast(main, behind)

    def test_with_both_kinds_of_tray_the_item_is_a_status_notifier_only(self):
        self.start_trayer()
        self.session.start_tray_host()
        dusk = self.start_dusk()
        self.wait_for_registrations(dusk, 1)
        time.sleep(2)  # an XEmbed icon would have been embedded within this
        self.assertEqual(self.embedded_icons(), [])
        # One item, registered once: no icon of Qt's own came and went on a
        # connection of its own while Dusk asked who runs the watcher.
        self.assertEqual(self.session.registered_items(), [dusk.service])


if __name__ == "__main__":
    unittest.main()
