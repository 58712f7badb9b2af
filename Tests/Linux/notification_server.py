#!/usr/bin/python3
"""Plays a desktop's notification server (org.freedesktop.Notifications) on
the session bus, written from the Desktop Notifications Specification: Debian
has servers (xfce4-notifyd, dunst, notification-daemon), but each one draws
its bubbles on screen and none reports what it was given. Prints "ready",
then one line per call: "notify ID SUMMARY<TAB>BODY" or "close ID"."""

import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"


class Server(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.last_id = 0

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout):
        self.last_id += 1
        body_line = str(body).replace("\n", "\\n")
        print(f"notify {self.last_id} {summary}\t{body_line}", flush=True)
        return dbus.UInt32(self.last_id)

    @dbus.service.method(NAME, in_signature="u", out_signature="")
    def CloseNotification(self, notification_id):
        print(f"close {int(notification_id)}", flush=True)
        self.NotificationClosed(notification_id, dbus.UInt32(3))

    @dbus.service.method(NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return dbus.Array(["body"], signature="s")

    @dbus.service.method(NAME, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("notification_server.py", "dusk tests", "1.0", "1.2")

    @dbus.service.signal(NAME, signature="uu")
    def NotificationClosed(self, notification_id, reason):
        pass


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    server = Server(bus)
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    print("ready", flush=True)
    try:
        GLib.MainLoop().run()
    finally:
        del name, server


if __name__ == "__main__":
    sys.exit(main())
