#!/usr/bin/python3
"""The floor for Dusk's toggle in bench.py: an already-running process that
sets GNOME's color-scheme through GSettings when asked over the session bus,
as Dusk is asked by a menu click. It owns org.dusk.Floor and answers
org.dusk.Floor.Set(s) after writing the value (the write itself goes to
dconf's service as Dusk's does). Prints "ready" once it listens."""

import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import Gio, GLib


class Floor(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/org/dusk/Floor")
        self.settings = Gio.Settings.new("org.gnome.desktop.interface")
        self.settings.get_string("color-scheme")  # some backends only announce keys that were read

    @dbus.service.method("org.dusk.Floor", in_signature="s", out_signature="")
    def Set(self, value):
        self.settings.set_string("color-scheme", value)
        Gio.Settings.sync()


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    floor = Floor(bus)
    name = dbus.service.BusName("org.dusk.Floor", bus, do_not_queue=True)
    print("ready", flush=True)
    try:
        GLib.MainLoop().run()
    finally:
        del name, floor


if __name__ == "__main__":
    sys.exit(main())
