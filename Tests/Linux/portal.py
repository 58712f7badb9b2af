#!/usr/bin/python3
"""Plays the freedesktop portal's Settings interface for the appearance key
only: org.freedesktop.appearance color-scheme, starting at argv[1].

The value is a uint32 (0, 1 or 2, as the portal documents it), or TYPE:TEXT
to answer with another D-Bus type or value, as a misbehaving portal might:
i:-1 (an int32), u:7 (out of range), s:dark (a string).

  --old     no ReadOne, as portals before 1.17.1
  --error   every read fails with org.freedesktop.DBus.Error.Failed
  --silent  every read is left unanswered

Each read prints "read <method>" on standard output once it is answered (or
refused, or left). The test changes the value through
org.dusk.Test.SetColorScheme (a uint32) or org.dusk.Test.Announce (TYPE:TEXT),
which emit SettingChanged as the portal would."""

import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

SETTINGS = "org.freedesktop.portal.Settings"
NAMESPACE, KEY = "org.freedesktop.appearance", "color-scheme"
TYPES = {"u": dbus.UInt32, "i": dbus.Int32, "s": dbus.String}


def say(text):
    # A test that has stopped listening must not break the portal.
    try:
        print(text, flush=True)
    except (BrokenPipeError, ValueError):
        pass


def typed(text, variant_level=0):
    kind, _, value = text.rpartition(":")
    kind = kind or "u"
    return TYPES[kind](value if kind == "s" else int(value), variant_level=variant_level)


class Settings(dbus.service.Object):
    def __init__(self, bus, value, answer):
        super().__init__(bus, "/org/freedesktop/portal/desktop")
        self.value = value
        self.answer = answer
        self.unanswered = []  # kept, so that the caller waits for good

    def reply(self, method, namespace, key, variant_level, ok, error):
        if (namespace, key) != (NAMESPACE, KEY):
            error(dbus.DBusException("Requested setting not found", name="org.freedesktop.portal.Error.NotFound"))
        elif self.answer == "silent":
            self.unanswered.append((ok, error))
        elif self.answer == "error":
            error(dbus.DBusException("The backend went away", name="org.freedesktop.DBus.Error.Failed"))
        else:
            ok(typed(self.value, variant_level))
        say(f"read {method}")

    @dbus.service.method(SETTINGS, in_signature="ss", out_signature="v", async_callbacks=("ok", "error"))
    def Read(self, namespace, key, ok, error):
        # The old Read wraps the value in one more variant.
        self.reply("Read", namespace, key, 1, ok, error)

    @dbus.service.signal(SETTINGS, signature="ssv")
    def SettingChanged(self, namespace, key, value):
        pass

    @dbus.service.method("org.dusk.Test", in_signature="u", out_signature="")
    def SetColorScheme(self, value):
        self.Announce(str(int(value)))

    @dbus.service.method("org.dusk.Test", in_signature="s", out_signature="")
    def Announce(self, value):
        self.value = value
        self.SettingChanged(NAMESPACE, KEY, typed(value, variant_level=1))


class NewSettings(Settings):
    @dbus.service.method(SETTINGS, in_signature="ss", out_signature="v", async_callbacks=("ok", "error"))
    def ReadOne(self, namespace, key, ok, error):
        self.reply("ReadOne", namespace, key, 0, ok, error)


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    kind = Settings if "--old" in sys.argv else NewSettings
    answer = "error" if "--error" in sys.argv else "silent" if "--silent" in sys.argv else "value"
    settings = kind(bus, sys.argv[1], answer)
    name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus, do_not_queue=True)
    say("ready")
    try:
        GLib.MainLoop().run()
    finally:
        del name, settings


if __name__ == "__main__":
    sys.exit(main())
