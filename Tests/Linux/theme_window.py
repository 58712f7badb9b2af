#!/usr/bin/python3
"""A window of another toolkit beside Dusk, to see what the desktop's theme
does to it: `gtk3 TITLE` (GTK 3) or `adw TITLE` (GTK 4 with libadwaita).
Plain text on the window's own background, 240×160, at a place of its own;
prints "ready" once shown."""

import sys

import gi

toolkit, title = sys.argv[1], sys.argv[2]

if toolkit == "gtk3":
    gi.require_version("Gtk", "3.0")
    from gi.repository import GLib, Gtk

    window = Gtk.Window(title=title)
    window.set_default_size(240, 160)
    window.add(Gtk.Label(label=title))
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    GLib.timeout_add(300, lambda: print("ready", flush=True) and False)
    Gtk.main()
else:
    gi.require_version("Gtk", "4.0")
    gi.require_version("Adw", "1")
    from gi.repository import Adw, GLib, Gtk

    def activate(application):
        window = Adw.ApplicationWindow(application=application, title=title)
        window.set_default_size(240, 160)
        window.set_content(Gtk.Label(label=title))
        window.present()
        GLib.timeout_add(300, lambda: print("ready", flush=True) and False)

    application = Adw.Application(application_id="app.dusk.ThemeWindow" + title.replace("-", ""))
    application.connect("activate", activate)
    application.run([])
