#!/usr/bin/python3
"""Plays the freedesktop portal's Settings interface for the appearance key
only: org.freedesktop.appearance color-scheme, starting at argv[1] (0, 1 or
2). With --old it has no ReadOne, as portals before 1.17.1. The test changes
the value through org.dusk.Test.SetColorScheme, which emits SettingChanged as
the portal would."""

import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

SETTINGS = "org.freedesktop.portal.Settings"
NAMESPACE, KEY = "org.freedesktop.appearance", "color-scheme"


class Settings(dbus.service.Object):
    def __init__(self, bus, value):
        super().__init__(bus, "/org/freedesktop/portal/desktop")
        self.value = value

    def lookup(self, namespace, key):
        if (namespace, key) != (NAMESPACE, KEY):
            raise dbus.DBusException("Requested setting not found",
                                     name="org.freedesktop.portal.Error.NotFound")
        return dbus.UInt32(self.value)

    @dbus.service.method(SETTINGS, in_signature="ss", out_signature="v")
    def Read(self, namespace, key):
        # The old Read wraps the value in one more variant.
        return dbus.types.UInt32(self.lookup(namespace, key), variant_level=1)

    @dbus.service.signal(SETTINGS, signature="ssv")
    def SettingChanged(self, namespace, key, value):
        pass

    @dbus.service.method("org.dusk.Test", in_signature="u", out_signature="")
    def SetColorScheme(self, value):
        self.value = int(value)
        self.SettingChanged(NAMESPACE, KEY, dbus.UInt32(self.value, variant_level=1))


class NewSettings(Settings):
    @dbus.service.method(SETTINGS, in_signature="ss", out_signature="v")
    def ReadOne(self, namespace, key):
        return self.lookup(namespace, key)


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    kind = Settings if "--old" in sys.argv else NewSettings
    settings = kind(bus, int(sys.argv[1]))
    name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus, do_not_queue=True)
    print("ready", flush=True)
    try:
        GLib.MainLoop().run()
    finally:
        del name, settings


if __name__ == "__main__":
    sys.exit(main())
