#!/usr/bin/python3
"""Dusk as installed: the desktop file a launcher reads, the icons and the
AppStream metadata, checked with the desktop's own tools (GLib's key-file
and shell parsers, `gio launch`, desktop-file-validate, appstreamcli).

With DUSK_EXECUTABLE naming an installed copy (a package's /usr/bin/dusk),
that copy is checked; otherwise DUSK_BUILD_DIR is installed under the
session's ~/.local, as a user would, and under a prefix whose path needs the
Desktop Entry quoting rules."""

import os
import re
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gi  # noqa: E402

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, Gio, GLib  # noqa: E402
from session import Dusk, wait_until  # noqa: E402
from test_desktop import BUILD_DIR, DUSK, INSTALLED, SessionTestCase, installed_prefix  # noqa: E402

APP_ID = "app.dusk.Dusk"


def exec_argvs(desktop_file):
    """Each group's Exec line as a launcher splits it: the key file's
    escapes, then the Desktop Entry quoting, "%%" standing for "%"."""
    key_file = GLib.KeyFile()
    key_file.load_from_file(desktop_file, GLib.KeyFileFlags.NONE)
    argvs = {}
    for group in key_file.get_groups()[0]:
        if "Exec" in key_file.get_keys(group)[0]:
            argvs[group] = GLib.shell_parse_argv(key_file.get_string(group, "Exec").replace("%%", "%"))[1]
    return argvs


@unittest.skipUnless(BUILD_DIR or INSTALLED, "needs DUSK_BUILD_DIR to install Dusk, or an installed DUSK_EXECUTABLE")
class DesktopEntry(SessionTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if INSTALLED:
            cls.prefixes = [installed_prefix(DUSK)]
            return
        # No backslash: CMake reads it as a separator. No "%": GLib checks
        # that the program exists before it expands "%%".
        odd = os.path.join(cls.session.root, 'Dusk "apps" $HOME `x` it\'s')
        cls.prefixes = [os.path.join(cls.session.env["HOME"], ".local"), odd]
        for prefix in cls.prefixes:
            subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], check=True,
                           stdout=subprocess.DEVNULL, timeout=120)

    @staticmethod
    def entry(prefix):
        return os.path.join(prefix, "share", "applications", APP_ID + ".desktop")

    def test_every_exec_line_starts_the_installed_program_by_its_path(self):
        for prefix in self.prefixes:
            with self.subTest(prefix=prefix):
                argvs = exec_argvs(self.entry(prefix))
                self.assertIn("Desktop Entry", argvs)
                for group, argv in argvs.items():
                    self.assertEqual(os.path.realpath(argv[0]), os.path.realpath(os.path.join(prefix, "bin", "dusk")),
                                     group)

    def test_the_launcher_starts_dusk_when_its_bin_is_not_on_path(self):
        for prefix in self.prefixes:
            with self.subTest(prefix=prefix):
                before = len(self.session.registered_items())
                log = os.path.join(self.session.root, f"launched-{before}.log")
                # gio exits once Dusk is started; Dusk writes on in the file.
                with open(log, "w") as output:
                    launched = subprocess.run(["/usr/bin/gio", "launch", self.entry(prefix)],
                                              env={**self.session.env, "PATH": "/nonexistent"}, stdout=output,
                                              stderr=output, timeout=20)
                dusk = Dusk(self.session, None, log)  # started by gio, not by this test
                self.assertEqual(launched.returncode, 0, dusk.log())
                dusk.service = wait_until(
                    lambda: self.session.registered_items()[before:],
                    what=lambda: f"the launched Dusk's tray item (its output: {dusk.log()!r})", timeout=30)[0]
                self.assertEqual(dusk.titles()[-1], "Quit Dusk")
                dusk.click("Quit Dusk")
                wait_until(lambda: not self.session.bus.name_has_owner(dusk.service), what="the launched Dusk to quit")

    def test_the_installed_files_satisfy_the_desktop_validators(self):
        for prefix in self.prefixes:
            with self.subTest(prefix=prefix):
                share = os.path.join(prefix, "share")
                metainfo = os.path.join(share, "metainfo", APP_ID + ".metainfo.xml")
                for check in (["desktop-file-validate", self.entry(prefix)],
                              ["appstreamcli", "validate", "--no-net", "--no-color", metainfo]):
                    result = subprocess.run(check, capture_output=True, text=True, timeout=60)
                    self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

                # The launcher's icon is the full-colour one, not a tray symbol.
                key_file = GLib.KeyFile()
                key_file.load_from_file(self.entry(prefix), GLib.KeyFileFlags.NONE)
                icon = key_file.get_string("Desktop Entry", "Icon")
                self.assertFalse(icon.endswith("-symbolic"))
                self.assertTrue(os.path.isfile(os.path.join(share, "icons", "hicolor", "scalable", "apps",
                                                            icon + ".svg")), icon)
                component = ElementTree.parse(metainfo).getroot()
                self.assertEqual(component.findtext("launchable"), APP_ID + ".desktop")
                self.assertEqual(component.findtext("id"), APP_ID)
                for symbol in ("dusk-sun-symbolic", "dusk-moon-symbolic"):
                    self.assertTrue(os.path.isfile(os.path.join(share, "icons", "hicolor", "symbolic", "apps",
                                                                symbol + ".svg")), symbol)

    def test_gtk_draws_every_installed_icon(self):
        # GTK's icon theme reads an icon as a stream, with no file name to
        # go by: GdkPixbuf knows it for an SVG only by its first bytes.
        for prefix in self.prefixes:
            icons = os.path.join(prefix, "share", "icons", "hicolor")
            for size, name in (("symbolic", "dusk-sun-symbolic"), ("symbolic", "dusk-moon-symbolic"),
                               ("scalable", APP_ID)):
                with self.subTest(prefix=prefix, icon=name):
                    stream = Gio.File.new_for_path(os.path.join(icons, size, "apps", name + ".svg")).read(None)
                    pixbuf = GdkPixbuf.Pixbuf.new_from_stream_at_scale(stream, 32, 32, True, None)
                    self.assertEqual((pixbuf.get_width(), pixbuf.get_height()), (32, 32))
                    # Drawn, not an empty square: some pixels are opaque.
                    self.assertTrue(pixbuf.get_has_alpha())
                    self.assertGreater(max(pixbuf.get_pixels()[3::4]), 200)


def owning_package(path):
    """The package that installed a file, as dpkg knows it (Debian 12 keeps
    some libraries under /lib in its database and /usr/lib on disk)."""
    for candidate in (path, re.sub(r"^/usr/lib/", "/lib/", path), re.sub(r"^/lib/", "/usr/lib/", path)):
        result = subprocess.run(["dpkg-query", "--search", candidate], capture_output=True, text=True)
        if result.returncode == 0:
            owners = result.stdout.splitlines()[-1].rsplit(": ", 1)[0]
            return {owner.strip().split(":")[0] for owner in owners.split(",")}
    return None


PACKAGED = INSTALLED and subprocess.run(["dpkg-query", "--search", os.path.realpath(DUSK)],
                                        capture_output=True).returncode == 0


@unittest.skipUnless(PACKAGED, "needs DUSK_EXECUTABLE installed by the package")
class PackageDependencies(SessionTestCase):
    def test_every_library_dusk_loads_comes_with_what_the_package_names(self):
        dusk = self.start()
        dusk.click("Switch to Dark Mode")  # the settings backend, now in use
        wait_until(lambda: self.session.color_scheme() == "'prefer-dark'", what="the toggle")
        with open(f"/proc/{dusk.process.pid}/maps") as maps:
            libraries = {line.split()[-1] for line in maps if re.search(r"\.so(\.[0-9]+)*$", line.split()[-1])}
        owners = {library: owning_package(library) for library in libraries}
        # What the package's dependencies bring, and a recommended package
        # that Dusk has loaded from, with what it depends on. Dependencies
        # only: apt leaves recommendations out with --no-install-recommends.
        recommended = subprocess.run(["dpkg-query", "--show", "--showformat=${Recommends}", "dusk"], check=True,
                                     capture_output=True, text=True).stdout
        loaded_from = set().union(*(found for found in owners.values() if found))
        roots = ["dusk", *(name.split()[0] for name in recommended.replace("|", ",").split(",")
                           if name.strip() and name.split()[0] in loaded_from)]
        closure = subprocess.run(["apt-cache", "depends", "--recurse", "--installed", "--no-recommends",
                                  "--no-suggests", "--no-conflicts", "--no-breaks", "--no-replaces", "--no-enhances",
                                  *roots], check=True, capture_output=True, text=True).stdout
        provided = {line.split(":")[0] for line in closure.splitlines() if line and not line[0].isspace()}
        strays = {library: found for library, found in owners.items() if not found or not found & provided}
        self.assertEqual(strays, {})


if __name__ == "__main__":
    unittest.main()
