#!/usr/bin/python3
"""Measures Dusk on this machine, in the same throwaway session the
end-to-end tests use (Xvfb, private bus, tray host, dconf). Not a test: it
prints figures and never fails on them.

    /usr/bin/python3 Tests/Linux/bench.py build/default/dusk [ROUNDS] [--start | --memory]

  start to tray item   fork of dusk to its RegisterStatusNotifierItem call
                       reaching the tray host (median, min and max of ROUNDS
                       starts); beside it, in the same rounds (the two take
                       turns to go first), the floor: bare_tray.cpp, one
                       QSystemTrayIcon with an icon and a tooltip, built with
                       the compiler and flags of Dusk's build tree; and the
                       ratio of the medians. Twice: where a portal answers
                       (the peer portal.py), and where no portal answers,
                       so that Dusk reads GNOME's setting through GSettings.
                       Also with a portal (portal.py
                       --silent) that never answers
  first toggle         where a portal answers, a menu click to dconf's
                       announcement for the first toggle after a start (GIO
                       is loaded then) and the second (median of ROUNDS)
  memory at start      VmRSS and private memory one second after each start of
                       those rounds, Dusk's and the floor's (medians), and
                       their ratio. With --start only these two lines (and the
                       load average before and after them) are measured
  menu opening         dbusmenu AboutToShow and GetLayout answered, as a shell
                       opens the menu (median of ROUNDS), with and without
                       the silent portal
  resident memory      VmRSS one second after start, and after a recorder
                       session (opened from the menu, closed with Escape) and
                       an alert (the build tree's Launch at Login, dismissed)
                       before any toggle, and after the toggles below;
                       beside each, private memory (Private_Clean and
                       Private_Dirty of smaps_rollup): what is not
                       shared library, font or cache pages. With --memory
                       only this, over ROUNDS starts (medians), with the
                       growth per mapping (/proc/PID/smaps)
  idle wake-ups        context switches of all of Dusk's threads per second
                       over 10 s with nothing happening
  toggle to dconf      a dbusmenu "clicked" sent, to dconf announcing the
                       change (ca.desrt.dconf.Writer Notify); beside it, in
                       the same rounds, the floor: gsettings_floor.py, an
                       already-running process asked over the bus to set the
                       same key through GSettings, and `gsettings set`
                       (process start to the same announcement); medians
  key to dconf         `xdotool key` started to dconf's announcement (the
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
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import dbus  # noqa: E402
from dbus.mainloop.glib import DBusGMainLoop  # noqa: E402
from gi.repository import GLib  # noqa: E402
from portal import no_portal  # noqa: E402
from session import Session, wait_until  # noqa: E402

PYTHON = "/usr/bin/python3"


def ms(ns):
    return ns / 1e6


def median_ms(samples):
    return ms(statistics.median(samples))


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


def private_mib(pid):
    """Memory that is Dusk's alone (Private_Clean + Private_Dirty): not the
    library or font pages it shares with other programs."""
    total = 0
    with open(f"/proc/{pid}/smaps_rollup") as rollup:
        for line in rollup:
            if line.startswith(("Private_Clean:", "Private_Dirty:")):
                total += int(line.split()[1])
    return total / 1024


def xdotool(session, *args):
    return subprocess.run(["xdotool", *args], env=session.env, capture_output=True, text=True, timeout=20)


def visible(session, title):
    return xdotool(session, "search", "--onlyvisible", "--name", title).stdout.split()


def spawn_ready(session, argv):
    log = os.path.join(session.root, f"peer-{len(session.processes)}.log")
    with open(log, "w") as out:
        process = session.spawn(argv, stdout=out)
    wait_until(lambda: "ready" in Session.read(log), what=" ".join(argv))
    return process


def bare_tray(executable, directory):
    """The floor's program, compiled as Dusk was: the same compiler, build
    type and flags, read from Dusk's build tree (a test build has it built)."""
    build = os.path.dirname(executable)
    built = os.path.join(build, "Tests", "Linux", "bare_tray")
    if os.path.exists(built):
        return built
    cache = dict(re.findall(r"^(\w+):\w+=(.*)$", Session.read(os.path.join(build, "CMakeCache.txt")), re.M))
    flags = (cache.get("CMAKE_CXX_FLAGS", "") + " " +
             cache.get("CMAKE_CXX_FLAGS_" + cache.get("CMAKE_BUILD_TYPE", "").upper(), "")).split()
    qt = subprocess.run(["pkg-config", "--cflags", "--libs", "Qt6Widgets"], check=True, capture_output=True,
                        text=True).stdout.split()
    program = os.path.join(directory, "bare_tray")
    subprocess.run([cache.get("CMAKE_CXX_COMPILER", "c++"), "-std=c++20", "-fPIC", *flags,
                    os.path.join(HERE, "bare_tray.cpp"), "-o", program, *qt], check=True)
    return program


def start_times(session, executables, rounds, memory=False):
    """Starts each program in turn, ROUNDS times; answers, per program, the
    times to its item's registration and, with memory, (VmRSS, private memory)
    one second after each start."""
    starts = [[] for _ in executables]
    memories = [[] for _ in executables]
    for round_number in range(rounds):
        order = list(enumerate(executables))
        for index, executable in order if round_number % 2 == 0 else reversed(order):
            before = len(session.registered_items())
            t0 = time.monotonic_ns()
            program = session.start_dusk(executable)
            line = [l for l in Session.read(session.host_log).splitlines() if l.startswith("registered")][before]
            starts[index].append(int(line.split()[3]) - t0)
            if memory:
                time.sleep(max(0.0, 1.0 - (time.monotonic_ns() - t0) / 1e9))
                memories[index].append((rss_mib(program.process.pid), private_mib(program.process.pid)))
            program.stop()
    return starts, memories


def print_start_up(starts, memories, load_before):
    (dusk, bare), (dusk_memory, bare_memory) = starts, memories
    load = ", ".join(f"{value:.1f}" for value in os.getloadavg())
    print(f"start-up beside a bare Qt tray (bare_tray.cpp, built as Dusk is), {len(dusk)} rounds; load average before "
          f"{load_before}, after {load}")
    print(f"start to tray item registered: Dusk median {median_ms(dusk):.1f} ms (min {ms(min(dusk)):.1f}, "
          f"max {ms(max(dusk)):.1f}); floor median {median_ms(bare):.1f} ms (min {ms(min(bare)):.1f}, "
          f"max {ms(max(bare)):.1f}); ratio {statistics.median(dusk) / statistics.median(bare):.2f}")
    dusk_rss, dusk_private = (statistics.median(sample[i] for sample in dusk_memory) for i in (0, 1))
    bare_rss, bare_private = (statistics.median(sample[i] for sample in bare_memory) for i in (0, 1))
    print(f"resident memory 1 s after start: Dusk median {dusk_rss:.1f} MiB (private {dusk_private:.1f}); "
          f"floor median {bare_rss:.1f} MiB (private {bare_private:.1f}); ratio {dusk_rss / bare_rss:.2f} "
          f"(private {dusk_private / bare_private:.2f})", flush=True)


def first_toggle_times(session, executable, rounds):
    """Dusk loads GIO at its first toggle: menu click
    to dconf's announcement for the first toggle after start and the second,
    over ROUNDS starts."""
    watch = DconfWatch(session.env["DBUS_SESSION_BUS_ADDRESS"])
    times = []
    for _ in range(rounds):
        dusk = session.start_dusk(executable)
        pair = []
        for _ in range(2):
            item = [item_id for item_id, label, _ in dusk.open_menu() if label == dusk.titles()[0]][0]
            count = len(watch.seen)
            t0 = time.monotonic_ns()
            dusk._menu().Event(item, "clicked", dbus.String("", variant_level=1), dbus.UInt32(0))
            pair.append(watch.wait_next(count) - t0)
        times.append(tuple(pair))
        dusk.stop()
    return times


def open_and_close_windows(session, dusk):
    """A recorder session closed with Escape, then the build tree's Launch at
    Login alert dismissed with Return."""
    dusk.click(dusk.titles()[1])  # the recorder
    wait_until(lambda: visible(session, "^Dusk Hotkey$"), what="the recorder")
    wait_until(lambda: xdotool(session, "getwindowfocus", "getwindowname").stdout.strip() == "Dusk Hotkey",
               what="the recorder to have the keyboard")
    xdotool(session, "key", "Escape")
    wait_until(lambda: not visible(session, "^Dusk Hotkey$"), what="Escape to close the recorder")
    dusk.click("Launch at Login")  # the build tree's alert
    alert = wait_until(lambda: visible(session, "^Dusk$"), what="the alert")
    xdotool(session, "windowfocus", "--sync", alert[0])
    xdotool(session, "key", "Return")
    wait_until(lambda: not visible(session, "^Dusk$"), what="Return to dismiss the alert")


def mappings(pid):
    """Rss and Private_Dirty in KiB per mapped file, the heap, the stacks and
    the anonymous rest (SysV shared memory counts as its key)."""
    totals = {}
    name = None
    with open(f"/proc/{pid}/smaps") as smaps:
        for line in smaps:
            fields = line.split()
            if re.match(r"^[0-9a-f]+-[0-9a-f]+ ", line):
                name = fields[5] if len(fields) > 5 else "[anonymous]"
                if name.startswith("/SYSV"):
                    name = "[SysV shared memory]"
                totals.setdefault(name, [0, 0])
            elif fields[0] == "Rss:":
                totals[name][0] += int(fields[1])
            elif fields[0] == "Private_Dirty:":
                totals[name][1] += int(fields[1])
    return totals


def memory_after_windows(executable, rounds):
    """ROUNDS starts, each measured 1 s after start and 1 s after a recorder
    session and an alert; medians, and the growth per mapping."""
    session = Session()
    try:
        session.set_color_scheme("default")
        figures, growths = [], []
        for _ in range(rounds):
            dusk = session.start_dusk(executable)
            time.sleep(1)
            before = mappings(dusk.process.pid)
            figures_before = (rss_mib(dusk.process.pid), private_mib(dusk.process.pid))
            open_and_close_windows(session, dusk)
            time.sleep(1)
            after = mappings(dusk.process.pid)
            figures.append((*figures_before, rss_mib(dusk.process.pid), private_mib(dusk.process.pid)))
            growths.append({name: [after[name][i] - before.get(name, [0, 0])[i] for i in (0, 1)] for name in after})
            dusk.stop()
        rss, private, rss_after, private_after = (statistics.median(figure[i] for figure in figures) for i in range(4))
        print(f"resident memory after start:   {rss:.1f} MiB (private {private:.1f}); after a recorder "
              f"session and an alert: {rss_after:.1f} MiB ({rss_after - rss:+.1f}; private {private_after:.1f}, "
              f"{private_after - private:+.1f}); medians of {rounds}")
        grown = [figure[2] - figure[0] for figure in figures]
        print(f"growth: median {statistics.median(grown):+.2f} MiB (min {min(grown):+.2f}, max {max(grown):+.2f}); "
              f"per mapping, median KiB of Rss and of private dirty:")
        rows = []
        for name in {name for growth in growths for name in growth}:
            rss_kib, dirty_kib = (statistics.median(growth.get(name, [0, 0])[i] for growth in growths) for i in (0, 1))
            if rss_kib or dirty_kib:
                rows.append((rss_kib, dirty_kib, name))
        for rss_kib, dirty_kib, name in sorted(rows, key=lambda row: (-row[0], row[2])):
            print(f"  {rss_kib:+7.0f} {dirty_kib:+7.0f}  {name}")
    finally:
        session.close()


def menu_openings(dusk, rounds):
    menu = dusk._menu()
    openings = []
    for _ in range(rounds):
        t0 = time.monotonic_ns()
        menu.AboutToShow(0, timeout=10)
        menu.GetLayout(0, -1, [], timeout=10)
        openings.append(time.monotonic_ns() - t0)
    return openings


def main(start_only):
    executable = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 and sys.argv[2].isdigit() else 20
    session = Session()
    try:
        session.set_color_scheme("default")
        floor_program = bare_tray(executable, session.root)
        if not start_only:
            # Before any Dusk has the bus start the real portal.
            silent = spawn_ready(session, [PYTHON, os.path.join(HERE, "portal.py"), "1", "--silent"])
            [silent_starts], _ = start_times(session, [executable], rounds)
            dusk = session.start_dusk(executable)
            silent_openings = menu_openings(dusk, rounds)
            dusk.stop()
            silent.terminate()
            silent.wait()

        print(f"Dusk {executable}, {rounds} rounds, {os.cpu_count()} cores")
        # First where a portal answers, as in GNOME and KDE sessions; then
        # where none does, and Dusk reads GNOME's setting through GSettings.
        answering = spawn_ready(session, [PYTHON, os.path.join(HERE, "portal.py"), "2"])
        load_before = ", ".join(f"{value:.1f}" for value in os.getloadavg())
        starts, memories = start_times(session, [executable, floor_program], rounds, memory=True)
        first_toggles = [] if start_only else first_toggle_times(session, executable, rounds)
        answering.terminate()
        answering.wait()
        print("with a settings portal answering:")
        print_start_up(starts, memories, load_before)
        if first_toggles:
            firsts, seconds = zip(*first_toggles)
            print(f"first toggle, GIO loaded then: median {median_ms(firsts):.2f} ms (max {ms(max(firsts)):.2f}); "
                  f"the second: median {median_ms(seconds):.2f} ms", flush=True)
        no_portal(session)
        load_before = ", ".join(f"{value:.1f}" for value in os.getloadavg())
        starts, memories = start_times(session, [executable, floor_program], rounds, memory=True)
        print("where no portal answers (GNOME's setting read through GSettings):")
        print_start_up(starts, memories, load_before)
        if start_only:
            return
        dusk = session.start_dusk(executable)
        openings = menu_openings(dusk, rounds)
        dusk.stop()

        dusk = session.start_dusk(executable)
        time.sleep(1)
        rss, private = rss_mib(dusk.process.pid), private_mib(dusk.process.pid)
        switches = threads_switches(dusk.process.pid)
        time.sleep(10)
        wakeups = (threads_switches(dusk.process.pid) - switches) / 10
        # Before any toggle, which loads GIO for its write.
        open_and_close_windows(session, dusk)
        time.sleep(1)
        rss_after, private_after = rss_mib(dusk.process.pid), private_mib(dusk.process.pid)

        watch = DconfWatch(session.env["DBUS_SESSION_BUS_ADDRESS"])
        spawn_ready(session, [PYTHON, os.path.join(HERE, "gsettings_floor.py")])
        floor = dbus.Interface(session.bus.get_object("org.dusk.Floor", "/org/dusk/Floor"), "org.dusk.Floor")
        clicks, floors, commands = [], [], []
        for _ in range(rounds):
            title = dusk.titles()[0]
            item = [item_id for item_id, label, _ in dusk.open_menu() if label == title][0]
            menu = dusk._menu()
            count = len(watch.seen)
            t0 = time.monotonic_ns()
            menu.Event(item, "clicked", dbus.String("", variant_level=1), dbus.UInt32(0))
            clicks.append(watch.wait_next(count) - t0)
            wait_until(lambda: dusk.tooltip().endswith("Light Mode" if title.endswith("Dark Mode") else "Dark Mode"))
            for measure, samples in ((floor.Set, floors), (None, commands)):
                value = "default" if session.color_scheme() == "'prefer-dark'" else "prefer-dark"
                count = len(watch.seen)
                t0 = time.monotonic_ns()
                if measure:
                    measure(value)
                else:
                    subprocess.run(["gsettings", "set", "org.gnome.desktop.interface", "color-scheme", value],
                                   env=session.env, check=True)
                samples.append(watch.wait_next(count) - t0)
                wait_until(lambda: dusk.tooltip().endswith("Light Mode" if value == "prefer-dark" else "Dark Mode"))

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
        rss_toggled = rss_mib(dusk.process.pid)
        dusk.stop()

        load = ", ".join(f"{value:.1f}" for value in os.getloadavg())
        print(f"load average at the end {load}")
        print(f"start, portal never answering: median {median_ms(silent_starts):.1f} ms "
              f"(max {ms(max(silent_starts)):.1f})")
        print(f"menu opening:                  median {median_ms(openings):.2f} ms; "
              f"portal never answering: median {median_ms(silent_openings):.2f} ms "
              f"(max {ms(max(silent_openings)):.2f})")
        print(f"resident memory after start:   {rss:.1f} MiB (private {private:.1f}); after a recorder "
              f"session and an alert: {rss_after:.1f} MiB ({rss_after - rss:+.1f}; private {private_after:.1f}, "
              f"{private_after - private:+.1f}); after the toggles too (GIO loaded): {rss_toggled:.1f} MiB")
        print(f"idle wake-ups:                 {wakeups:.2f} per second (10 s)")
        print(f"menu click to dconf's Notify:  median {median_ms(clicks):.2f} ms (min {ms(min(clicks)):.2f}); "
              f"floor (running process, GSettings): median {median_ms(floors):.2f} ms (min {ms(min(floors)):.2f}); "
              f"difference {median_ms(clicks) - median_ms(floors):+.2f} ms; "
              f"`gsettings set`: median {median_ms(commands):.2f} ms")
        print(f"XTEST key to dconf's Notify:   median {median_ms(keys):.2f} ms including xdotool; "
              f"xdotool alone: median {median_ms(xdotool_alone):.2f} ms; "
              f"difference {median_ms(keys) - median_ms(xdotool_alone):.2f} ms")
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
        wait_until(lambda: re.search(r"BindShortcuts .* status=0", dusk.log()), what="the portal binding")
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
    if "--memory" in sys.argv:
        memory_after_windows(os.path.abspath(sys.argv[1]),
                             int(sys.argv[2]) if len(sys.argv) > 2 and sys.argv[2].isdigit() else 20)
        sys.exit(0)
    main(start_only="--start" in sys.argv)
    if "--start" not in sys.argv:
        portal_activation()
