#!/usr/bin/python3
"""Dusk's command line on a real (virtual) Linux desktop: every command and
exit status, with no display at all, beside a running instance whose tray
item follows, and with the toggle failing. The desktop file's action is
launched through GLib, as a launcher or dock does. All components are
Debian's own (Xvfb, dbus-daemon, dconf, GLib); the tray host is
tray_host.py, written from the StatusNotifierItem interface, and KDE
Plasma's plasma-apply-colorscheme is played by small scripts that succeed,
fail in their own words under Qt's noise, or hang. No portal answers in
these sessions, and PATH holds no Plasma tool but those scripts."""

import os
import re
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from portal import PORTAL_NAME, no_portal  # noqa: E402
from session import Session, SessionTestCase, wait_until  # noqa: E402

DUSK = os.environ.get("DUSK_EXECUTABLE", "")
SLOW_EXIT = os.environ.get("DUSK_SLOW_EXIT", "")
PORTAL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "portal.py")
SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

LIGHT_TIP = "Dusk – switch to Dark Mode"
DARK_TIP = "Dusk – switch to Light Mode"
USAGE = "Usage: dusk [COMMAND]\n"
PLASMA_TOOL = "plasma-apply-colorscheme"
# What a Linux program does not say.
FOREIGN_WORDS = ("AppleScript", "(-10000)", "GDBus.Error", "UnmappedGError")


def project_version():
    with open(os.path.join(SOURCE_DIR, "CMakeLists.txt"), encoding="utf-8") as cmake:
        return re.search(r"project\(Dusk VERSION ([0-9.]+)", cmake.read()).group(1)


class CommandLineSession(SessionTestCase):
    def plasma_tool(self, script):
        """A folder for PATH with plasma-apply-colorscheme as `script` (shell),
        which can write what it was given to $RECORD."""
        folder = os.path.join(self.session.root, f"plasma-{len(os.listdir(self.session.root))}")
        os.makedirs(folder)
        tool = os.path.join(folder, PLASMA_TOOL)
        with open(tool, "w") as file:
            file.write("#!/bin/sh\n" + script)
        os.chmod(tool, 0o755)
        return folder

    def dusk(self, *arguments, display=True, **environment):
        env = dict(self.session.env)
        if not display:
            del env["DISPLAY"]
        env.update(environment)
        return subprocess.run([DUSK, *arguments], env=env, capture_output=True, text=True, timeout=30)

    def command_errors(self, result):
        """What the command itself says on standard error; the log lines go
        there too, but only because these sessions have no journal."""
        return "".join(line for line in result.stderr.splitlines(keepends=True) if line.startswith("dusk: "))


class WithoutADisplay(CommandLineSession):
    def test_every_command_and_its_exit_status(self):
        result = self.dusk("status", display=False)
        self.assertEqual((result.returncode, result.stdout, self.command_errors(result)), (0, "light\n", ""))

        result = self.dusk("toggle", display=False)
        self.assertEqual((result.returncode, result.stdout, self.command_errors(result)), (0, "", ""))
        self.assertEqual(self.session.color_scheme(), "'prefer-dark'")
        # The menu's own toggle: the same log lines.
        self.assertIn("toggle requested, currently dark=false", result.stderr)
        self.assertIn("toggle succeeded, now dark=true", result.stderr)
        self.assertEqual(self.dusk("status", display=False).stdout, "dark\n")

        # Asking for what already is succeeds without a toggle.
        result = self.dusk("dark", display=False)
        self.assertEqual((result.returncode, result.stdout, self.command_errors(result)), (0, "", ""))
        self.assertNotIn("toggle requested", result.stderr)
        self.assertEqual(self.session.color_scheme(), "'prefer-dark'")

        result = self.dusk("light", display=False)
        self.assertEqual((result.returncode, self.command_errors(result)), (0, ""))
        self.assertIn("toggle requested, currently dark=true", result.stderr)
        self.assertEqual(self.session.color_scheme(), "'default'")
        self.assertNotIn("toggle requested", self.dusk("light", display=False).stderr)
        self.assertEqual(self.dusk("dark", display=False).returncode, 0)
        self.assertEqual(self.session.color_scheme(), "'prefer-dark'")

        result = self.dusk("--version", display=False)
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, f"Dusk {project_version()}\n", ""))
        result = self.dusk("--help", display=False)
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        self.assertTrue(result.stdout.startswith(USAGE), result.stdout)

        # No tray item came of any of it.
        self.assertEqual(self.session.registered_items(), [])

    def test_on_plasma_the_tool_applies_breeze_without_a_display(self):
        record = os.path.join(self.session.root, "plasma-run")
        tool = self.plasma_tool('echo "$@ $QT_QPA_PLATFORM" > "$RECORD"\n'
                                'echo "Successfully applied the color scheme $1 to your current Plasma session"\n')
        result = self.dusk("toggle", display=False, XDG_CURRENT_DESKTOP="ubuntu:KDE", PATH=tool, RECORD=record)
        self.assertEqual((result.returncode, result.stdout, self.command_errors(result)), (0, "", ""))
        with open(record) as run:
            self.assertEqual(run.read(), "BreezeDark offscreen\n")
        # The side written is the side reported.
        self.assertIn("toggle succeeded, now dark=true", result.stderr)
        self.assertEqual(self.session.color_scheme(), "'default'")

    def test_anything_else_is_a_usage_error_that_changes_nothing(self):
        for arguments in (["bogus"], ["toggle", "twice"], ["--dark"], ["STATUS"]):
            result = self.dusk(*arguments, display=False)
            self.assertEqual(result.returncode, 2, arguments)
            self.assertEqual(result.stdout, "", arguments)
            self.assertTrue(result.stderr.startswith("dusk: "), result.stderr)
            self.assertIn("\n" + USAGE, result.stderr)
        self.assertEqual(self.session.color_scheme(), "'default'")


class BesideARunningInstance(CommandLineSession):
    def test_the_tray_item_follows_a_toggle_from_the_command_line(self):
        dusk = self.session.start_dusk(DUSK)
        self.running.append(dusk)
        self.assertEqual(dusk.tooltip(), LIGHT_TIP)

        self.assertEqual(self.dusk("toggle").returncode, 0)
        wait_until(lambda: dusk.tooltip() == DARK_TIP, what="the tray item to turn dark")
        self.assertEqual(dusk.icon_name(), "dusk-moon-symbolic")
        self.assertEqual(self.dusk("status").stdout, "dark\n")

        self.assertEqual(self.dusk("light").returncode, 0)
        wait_until(lambda: dusk.tooltip() == LIGHT_TIP, what="the tray item to turn light")
        self.assertEqual(self.dusk("status").stdout, "light\n")

        # The commands ran with the display there, and still added no item
        # of their own; the instance lives on.
        self.assertEqual(len(self.session.registered_items()), 1)
        self.assertIsNone(dusk.process.poll())


class WhenTheToggleFails(CommandLineSession):
    def expect_failure(self, result, reason):
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stdout, "")
        self.assertRegex(self.command_errors(result), r"^dusk: Couldn't change appearance: .*" + re.escape(reason))
        self.assertEqual(len(self.command_errors(result).splitlines()), 1, result.stderr)
        self.assertIn("couldn't switch to Dark: ", result.stderr)
        for foreign in FOREIGN_WORDS:
            self.assertNotIn(foreign, result.stderr)
        self.assertEqual(self.session.color_scheme(), "'default'")
        return self.command_errors(result)

    def test_on_plasma_without_its_colour_scheme_tool(self):
        empty = os.path.join(self.session.root, "no-tools")
        os.makedirs(empty, exist_ok=True)
        self.expect_failure(self.dusk("toggle", display=False, XDG_CURRENT_DESKTOP="KDE", PATH=empty),
                            f"{PLASMA_TOOL} is not installed")

    def test_on_plasma_the_tools_own_words_without_qts(self):
        tool = self.plasma_tool('echo "qt.qpa.fonts: Populating font family aliases took 31 ms" >&2\n'
                                'echo "Could not find theme \\"$1\\"." \n'
                                'echo "QDBusConnection: session D-Bus connection created before QCoreApplication" >&2\n'
                                "exit 1\n")
        errors = self.expect_failure(self.dusk("toggle", display=False, XDG_CURRENT_DESKTOP="KDE", PATH=tool),
                                     f'{PLASMA_TOOL} BreezeDark failed: Could not find theme "BreezeDark".')
        self.assertNotIn("qt.qpa", errors)
        self.assertNotIn("QDBusConnection", errors)

    def test_on_plasma_a_tool_that_hangs_is_given_up_on(self):
        tool = self.plasma_tool("exec /bin/sleep 60\n")
        self.expect_failure(self.dusk("toggle", display=False, XDG_CURRENT_DESKTOP="KDE", PATH=tool),
                            f"{PLASMA_TOOL} BreezeDark did not finish within 10 seconds.")

    def test_without_gnome_s_settings_schema(self):
        empty = os.path.join(self.session.root, "no-schemas")
        os.makedirs(empty, exist_ok=True)
        self.expect_failure(self.dusk("toggle", display=False, XDG_DATA_DIRS=empty), "is not installed")

    def test_where_gsettings_keeps_settings_in_memory_only(self):
        # As without dconf's GSettings backend: a change nobody else would see.
        self.expect_failure(self.dusk("toggle", display=False, GSETTINGS_BACKEND="memory"),
                            "GSettings keeps its settings in memory here")


class OnPlasmaWithoutAPortal(CommandLineSession):
    """KDE Plasma with no Settings portal answering: Plasma's own colour
    scheme, in its settings file, is the side, whatever GNOME's setting
    says; the scripts on PATH stand in for plasma-apply-colorscheme."""

    BREEZE_DARK = "[Colors:Window]\nBackgroundAlternate=49,54,59\nBackgroundNormal=42,46,50\n"
    BREEZE_LIGHT = "[Colors:Window]\nBackgroundAlternate=227,229,231\nBackgroundNormal=239,240,241\n"

    def setUp(self):
        super().setUp()
        self.kdeglobals = os.path.join(self.session.env["XDG_CONFIG_HOME"], "kdeglobals")
        self.addCleanup(lambda: os.path.exists(self.kdeglobals) and os.remove(self.kdeglobals))
        self.record = os.path.join(self.session.root, "plasma-runs")
        self.tool = self.plasma_tool('echo "$1" >> "$RECORD"\n')

    def plasma(self, kdeglobals):
        with open(self.kdeglobals, "w") as file:
            file.write(kdeglobals)

    def on_plasma(self, *arguments, **environment):
        return self.dusk(*arguments, display=False, XDG_CURRENT_DESKTOP="KDE", PATH=self.tool, RECORD=self.record,
                         **environment)

    def applied(self):
        runs = self.session.read(self.record).split()
        open(self.record, "w").close()
        return runs

    def test_the_side_is_plasmas_colours(self):
        # GNOME's setting says the opposite each time, and is not asked.
        self.session.set_color_scheme("prefer-dark")
        self.assertEqual(self.on_plasma("status").stdout, "light\n")  # Breeze, never changed
        self.plasma("[General]\nfont=Noto Sans,10,-1,5,50,0,0,0,0,0\n\n" + self.BREEZE_LIGHT)
        self.assertEqual(self.on_plasma("status").stdout, "light\n")
        self.session.set_color_scheme("default")
        self.plasma("[Colors:View]\nBackgroundNormal=239,240,241\n\n" + self.BREEZE_DARK + "\n[General]\n"
                    "ColorScheme=BreezeDark\n")
        self.assertEqual(self.on_plasma("status").stdout, "dark\n")
        # A scheme named, its colours not yet written here: the scheme's own file.
        schemes = os.path.join(self.session.root, "share", "color-schemes")
        os.makedirs(schemes, exist_ok=True)
        with open(os.path.join(schemes, "Midnight.colors"), "w") as scheme:
            scheme.write(self.BREEZE_DARK)
        self.plasma("[General]\nColorScheme=Midnight\n")
        self.assertEqual(self.on_plasma("status", XDG_DATA_DIRS=os.path.dirname(schemes)).stdout, "dark\n")

    def test_plasmas_colours_speak_over_a_portal_that_lags_them(self):
        # Plasma's portal reads the same file, and can still give the old side
        # just after a change: a portal that says Dark is not asked.
        log = os.path.join(self.session.root, "portal.log")
        with open(log, "w") as out:
            portal = self.session.spawn([sys.executable, PORTAL, "1"], stdout=out)
        self.addCleanup(lambda: (portal.terminate(), portal.wait()))
        wait_until(lambda: "ready" in Session.read(log), what="the portal peer")
        self.plasma(self.BREEZE_LIGHT)
        self.assertEqual(self.on_plasma("status").stdout, "light\n")
        result = self.on_plasma("dark")
        self.assertIn("toggle requested, currently dark=false", result.stderr)
        self.assertEqual(self.applied(), ["BreezeDark"])

    def test_light_dark_and_toggle_start_from_plasmas_side(self):
        self.plasma(self.BREEZE_DARK)
        self.assertEqual(self.on_plasma("dark").returncode, 0)
        self.assertEqual(self.applied(), [])
        result = self.on_plasma("light")
        self.assertEqual((result.returncode, self.command_errors(result)), (0, ""))
        self.assertIn("toggle requested, currently dark=true", result.stderr)
        self.assertEqual(self.applied(), ["BreezeLight"])
        self.assertEqual(self.on_plasma("toggle").returncode, 0)
        self.assertEqual(self.applied(), ["BreezeLight"])
        self.plasma(self.BREEZE_LIGHT)
        self.assertEqual(self.on_plasma("toggle").returncode, 0)
        self.assertEqual(self.applied(), ["BreezeDark"])

    def test_the_tray_item_follows_plasmas_colours_changed_elsewhere(self):
        dusk = self.start(env={"XDG_CURRENT_DESKTOP": "KDE"})
        self.assertEqual(dusk.tooltip(), LIGHT_TIP)
        for colours, tip in ((self.BREEZE_DARK, DARK_TIP), (self.BREEZE_LIGHT, LIGHT_TIP)):
            self.plasma(colours)
            # What Plasma sends once it has written new colours (0: the palette).
            subprocess.run(["dbus-send", "--session", "--type=signal", "/KGlobalSettings",
                            "org.kde.KGlobalSettings.notifyChange", "int32:0", "int32:0"], env=self.session.env,
                           check=True, timeout=30)
            wait_until(lambda: dusk.tooltip() == tip, what=f"the tooltip {tip!r}")

    def test_a_tool_that_crashes_is_told_apart_from_qts_output(self):
        tool = self.plasma_tool('echo "qt.qpa.xcb: could not connect to display" >&2\n'
                                'echo "This application failed to start because no Qt platform plugin could be '
                                'initialized." >&2\nkill -ABRT $$\n')
        result = self.dusk("toggle", display=False, XDG_CURRENT_DESKTOP="KDE", PATH=tool)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(self.command_errors(result),
                         f"dusk: Couldn't change appearance: {PLASMA_TOOL} BreezeDark crashed.\n")
        # Qt's words are logged apart, on their own line after the tool's name.
        self.assertRegex(result.stderr, rf"(?m)^.*{PLASMA_TOOL} logged: qt\.qpa\.xcb: could not connect to display$")


@unittest.skipUnless(SLOW_EXIT, "needs DUSK_SLOW_EXIT")
class QuietExit(CommandLineSession):
    """A command that gives up waiting for the portal exits while the
    portal's answer is on its way: an error that lands as Qt goes, here with
    Qt's going slowed right after its registry of custom types, must find
    QtDBus gone before the registry."""

    def test_an_answer_landing_as_the_command_exits_says_nothing(self):
        self.session.activatable(PORTAL_NAME, f"{sys.executable} {PORTAL} 0 --error-after 0.6")
        self.addCleanup(no_portal, self.session)
        for run in range(3):
            result = self.dusk("status", LD_PRELOAD=SLOW_EXIT)
            self.assertEqual((result.returncode, result.stdout), (0, "light\n"))
            self.assertNotIn("invalid type", result.stderr, f"run {run + 1}")
            # Given up on: the answer came after the command's deadline.
            self.assertIn("has not answered in 500 ms", result.stderr)


class DesktopAction(CommandLineSession):
    """What a launcher offers: the action in the desktop file, read and
    launched through GLib's GDesktopAppInfo, with `dusk` found on PATH as
    an installed copy would be."""

    def test_the_action_switches_between_light_and_dark(self):
        desktop_file = os.path.join(SOURCE_DIR, "Resources", "app.dusk.Dusk.desktop")
        validated = subprocess.run(["desktop-file-validate", desktop_file], capture_output=True, text=True)
        self.assertEqual((validated.returncode, validated.stdout), (0, ""))
        launch = """
import sys
from gi.repository import Gio
info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])
print(info.list_actions(), info.get_action_name("toggle"))
info.launch_action("toggle", None)
"""
        path = os.path.dirname(DUSK) + os.pathsep + self.session.env["PATH"]
        result = subprocess.run(["/usr/bin/python3", "-c", launch, desktop_file], env={**self.session.env,
                                "PATH": path}, capture_output=True, text=True, timeout=30)
        self.assertEqual(result.stdout, "['toggle'] Switch between Light and Dark\n", result.stderr)
        wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="the action to turn it dark")
        self.assertEqual(self.session.registered_items(), [])


if __name__ == "__main__":
    unittest.main()
