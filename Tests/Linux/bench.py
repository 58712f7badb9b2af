#!/usr/bin/python3
"""Measures Dusk on this machine, in the same throwaway session the
end-to-end tests use (Xvfb, private bus, tray host, dconf). Not a test: it
prints figures and never fails on them.

    /usr/bin/python3 Tests/Linux/bench.py build/default/dusk [ROUNDS]

  start to tray item   fork of dusk to its RegisterStatusNotifierItem call
                       reaching the tray host (median of ROUNDS starts)
  resident memory      VmRSS one second after start
  idle wake-ups        context switches of all of Dusk's threads per second
                       over 10 s with nothing happening
  click to setting     dbusmenu "clicked" sent to dconf announcing the
                       change, beside `gsettings set` (process start to the
                       same announcement), median of ROUNDS each
  key to setting       `xdotool key` started to dconf's announcement (the
                       XTEST press goes in once xdotool has connected),
                       beside `xdotool key` of the same modifiers with a key
                       nobody grabs (F24), which is
                       what xdotool alone costs, median of ROUNDS each
  portal to setting    on Wayland (weston, Qt's wayland platform), the
                       GlobalShortcuts portal peer's Activated (the test
                       call that emits it) to dconf's announcement, beside
                       the same call for a shortcut nobody binds, median of
                       ROUNDS each"""

import os
import re
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import dbus  # noqa: E402
from dbus.mainloop.glib import DBusGMainLoop  # noqa: E402
from gi.repository import GLib  # noqa: E402
from session import Session, wait_until  # noqa: E402


def ms(ns):
    return ns / 1e6


class DconfWatch:
    """Times dconf's change announcements on the session bus."""

    def __init__(self, address):
        self.bus = dbus.bus.BusConnection(address, mainloop=DBusGMainLoop())
        self.seen = []
        self.bus.add_signal_receiver(lambda *args: self.seen.append(time.monotonic_ns()), signal_name="Notify",
                                     dbus_interface="ca.desrt.dconf.Writer")

    def wait_next(self, count_before, timeout=5.0):
        context = GLib.MainContext.default()
        deadline = time.monotonic() + timeout
        while len(self.seen) <= count_before:
            if time.monotonic() > deadline:
                raise AssertionError("dconf announced no change")
            context.iteration(False)
            time.sleep(0.0002)
        return self.seen[count_before]


def threads_switches(pid):
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/status") as status:
            for line in status:
                if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                    total += int(line.split()[1])
    return total


def rss_mib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


def main():
    executable = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    session = Session()
    try:
        session.set_color_scheme("default")
        starts = []
        for _ in range(rounds):
            before = len(session.registered_items())
            t0 = time.monotonic_ns()
            dusk = session.start_dusk(executable)
            line = [l for l in Session.read(session.host_log).splitlines() if l.startswith("registered")][before]
            starts.append(int(line.split()[3]) - t0)
            dusk.stop()

        dusk = session.start_dusk(executable)
        time.sleep(1)
        rss = rss_mib(dusk.process.pid)
        switches = threads_switches(dusk.process.pid)
        time.sleep(10)
        wakeups = (threads_switches(dusk.process.pid) - switches) / 10

        watch = DconfWatch(session.env["DBUS_SESSION_BUS_ADDRESS"])
        clicks, commands = [], []
        for _ in range(rounds):
            title = dusk.titles()[0]
            item = [item_id for item_id, label, _ in dusk.open_menu() if label == title][0]
            menu = dusk._menu()
            count = len(watch.seen)
            t0 = time.monotonic_ns()
            menu.Event(item, "clicked", dbus.String("", variant_level=1), dbus.UInt32(0))
            clicks.append(watch.wait_next(count) - t0)
            wait_until(lambda: dusk.tooltip().endswith("Light Mode" if title.endswith("Dark Mode") else "Dark Mode"))
            count = len(watch.seen)
            value = "default" if session.color_scheme() == "'prefer-dark'" else "prefer-dark"
            t0 = time.monotonic_ns()
            subprocess.run(["gsettings", "set", "org.gnome.desktop.interface", "color-scheme", value],
                           env=session.env, check=True)
            commands.append(watch.wait_next(count) - t0)

        keys, xdotool_alone = [], []
        for _ in range(rounds):
            count = len(watch.seen)
            t0 = time.monotonic_ns()
            subprocess.run(["xdotool", "key", "--delay", "0", "ctrl+alt+super+d"], env=session.env, check=True)
            keys.append(watch.wait_next(count) - t0)
            t0 = time.monotonic_ns()
            subprocess.run(["xdotool", "key", "--delay", "0", "ctrl+alt+super+F24"], env=session.env, check=True)
            xdotool_alone.append(time.monotonic_ns() - t0)
            time.sleep(0.05)

        print(f"Dusk {executable}, {rounds} rounds, {os.cpu_count()} cores")
        print(f"start to tray item registered: median {ms(statistics.median(starts)):.1f} ms "
              f"(min {ms(min(starts)):.1f}, max {ms(max(starts)):.1f})")
        print(f"resident memory after start:   {rss:.1f} MiB")
        print(f"idle wake-ups:                 {wakeups:.2f} per second (10 s)")
        print(f"menu click to setting changed: median {ms(statistics.median(clicks)):.2f} ms; "
              f"`gsettings set`: median {ms(statistics.median(commands)):.2f} ms")
        print(f"XTEST key to setting changed:  median {ms(statistics.median(keys)):.2f} ms including xdotool; "
              f"xdotool alone: median {ms(statistics.median(xdotool_alone)):.2f} ms; "
              f"difference {ms(statistics.median(keys) - statistics.median(xdotool_alone)):.2f} ms")
        dusk.stop()
    finally:
        session.close()


def portal_activation():
    """The portal's Activated to the setting changed, in a Wayland session."""
    from test_wayland import SHORTCUT, ShortcutsPortal, WaylandSession
    executable = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    session = WaylandSession()
    try:
        session.set_color_scheme("default")
        portal = ShortcutsPortal(session)
        dusk = session.start_dusk(executable)
        wait_until(lambda: re.search(r"RegisterEventHotKey .* status=0", dusk.log()), what="the portal binding")
        watch = DconfWatch(session.env["DBUS_SESSION_BUS_ADDRESS"])
        activations, calls_alone = [], []
        for _ in range(rounds):
            count = len(watch.seen)
            t0 = time.monotonic_ns()
            portal.test.Press(SHORTCUT)
            activations.append(watch.wait_next(count) - t0)
            t0 = time.monotonic_ns()
            portal.test.Press("nobody-binds-this")
            calls_alone.append(time.monotonic_ns() - t0)
            time.sleep(0.05)
        print(f"portal Activated to setting changed: median {ms(statistics.median(activations)):.2f} ms including "
              f"the peer's call; the call alone: median {ms(statistics.median(calls_alone)):.2f} ms; difference "
              f"{ms(statistics.median(activations) - statistics.median(calls_alone)):.2f} ms")
        dusk.stop()
        portal.stop()
    finally:
        session.close()


if __name__ == "__main__":
    main()
    portal_activation()
