"""A throwaway desktop session for Dusk's end-to-end tests: Xvfb, a private
D-Bus session bus, a fresh HOME and XDG directories, GNOME's settings in
dconf, and a tray host (tray_host.py) that Dusk registers its item with."""

import contextlib
import ctypes
import os
import pwd
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import dbus

PR_SET_PDEATHSIG = 1


def _die_with_parent():
    # A test runner killed on a timeout must not leave servers behind.
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"
SNI = "org.kde.StatusNotifierItem"
PORTAL_NAME = "org.freedesktop.portal.Desktop"
DBUSMENU = "com.canonical.dbusmenu"


def run_as_nobody(script, argv, programs, prepare=None):
    """As root: `script` (a test file beside this one) again as nobody, since
    root reads and writes where a user may not. Nobody may not read root's
    folders, so it runs from a staging folder with copies of the test files
    and of `programs` ({variable: path}, named again in the environment).
    `prepare(staging, env, nobody)`, a context manager, adds to the staging
    folder and the environment for the run. Answers the exit status."""
    staging = tempfile.mkdtemp(prefix="dusk-unprivileged-")
    nobody = pwd.getpwnam("nobody")
    try:
        os.chmod(staging, 0o755)
        for name in os.listdir(HERE):
            if name.endswith(".py"):
                shutil.copy(os.path.join(HERE, name), staging)
        env = dict(os.environ)
        for variable, path in programs.items():
            if path:
                env[variable] = shutil.copy(path, staging)
        with (prepare or (lambda *_: contextlib.nullcontext()))(staging, env, nobody):
            return subprocess.run(["setpriv", f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}",
                                   "--clear-groups", PYTHON, os.path.join(staging, script), *argv],
                                  env=env, cwd=staging).returncode
    finally:
        shutil.rmtree(staging, ignore_errors=True)


def wait_until(predicate, timeout=10.0, interval=0.02, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout}s waiting for {what() if callable(what) else what}")
        time.sleep(interval)


def rss_kib(pid):
    """The memory a process holds now, in KiB."""
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise AssertionError("no VmRSS")


def luminance(rgb):
    """WCAG 2 relative luminance of an 8-bit sRGB colour."""
    def linear(value):
        value /= 255
        return value / 12.92 if value <= 0.03928 else ((value + 0.055) / 1.055) ** 2.4
    red, green, blue = (linear(value) for value in rgb)
    return 0.2126 * red + 0.7152 * green + 0.0722 * blue


def contrast(first, second):
    """WCAG 2 contrast ratio between two 8-bit sRGB colours."""
    darker, lighter = sorted((luminance(first), luminance(second)))
    return (lighter + 0.05) / (darker + 0.05)


class Session:
    def __init__(self, tray_host=True):
        self.root = tempfile.mkdtemp(prefix="dusk-e2e-")
        home = os.path.join(self.root, "home")
        runtime = os.path.join(self.root, "run")
        for path in (home, runtime):
            os.makedirs(path, mode=0o700)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
            "XDG_RUNTIME_DIR": runtime,
            "LANG": "C.UTF-8",
        }
        self.processes = []
        self.bus = None
        # Whatever portals and notification servers this machine has
        # installed (xfce4-notifyd and Plasma both offer one), none answers
        # unless a test chooses or starts one (portal.py, notification_server.py).
        for name in (PORTAL_NAME, "org.freedesktop.Notifications"):
            self.activatable(name, "/bin/false")
        self._start_x()
        self._start_bus()
        self.host_log = os.path.join(self.root, "host.log")
        self.host = None
        if tray_host:
            self.start_tray_host()
        os.environ.update(self.env)
        self.bus = dbus.bus.BusConnection(self.env["DBUS_SESSION_BUS_ADDRESS"])

    def _start_x(self):
        # -displayfd picks a free display itself: no race with other servers.
        # -noreset: the server must not restart between one Dusk and the next.
        read_end, write_end = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
                   pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = f":{number}"

    def _start_bus(self):
        # The bus starts dconf-service on demand with this environment, so
        # GNOME's settings land in the throwaway HOME.
        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        bus.stdout.close()

    def activatable(self, name, command):
        """What the session's bus starts for `name` from now on, in place of
        whatever this machine has installed: a service file in the session's
        own data home, which the bus reads before the system's."""
        services = os.path.join(self.env["XDG_DATA_HOME"], "dbus-1", "services")
        os.makedirs(services, exist_ok=True)
        with open(os.path.join(services, name + ".service"), "w") as service:
            service.write(f"[D-BUS Service]\nName={name}\nExec={command}\n")
        if self.bus is not None:
            self.bus.call_blocking("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                   "ReloadConfig", "", ())

    def start_tray_host(self):
        """A (new) tray host; its registrations add to the same log."""
        ready = self.read(self.host_log).count("ready")
        with open(self.host_log, "a") as log:
            self.host = self.spawn([PYTHON, os.path.join(HERE, "tray_host.py")], stdout=log)
        wait_until(lambda: self.read(self.host_log).count("ready") > ready, what="the tray host")

    def stop_tray_host(self):
        self.host.terminate()
        self.host.wait(timeout=5)
        self.host = None

    def spawn(self, argv, **kwargs):
        # A variable given as None is left out.
        env = {key: value for key, value in {**self.env, **kwargs.pop("env", {})}.items() if value is not None}
        process = subprocess.Popen(argv, env=env, preexec_fn=_die_with_parent, **kwargs)
        self.processes.append(process)
        return process

    @staticmethod
    def read(path):
        try:
            with open(path, encoding="utf-8", errors="replace") as file:
                return file.read()
        except FileNotFoundError:
            return ""

    def strays(self):
        """Processes left from this session that it did not start itself:
        services the bus started for it (the accessibility bus's own
        dbus-daemon outlives the launcher the bus started), known by the
        session's HOME in their environment. They hold the test's output
        open, and a test runner waits for that."""
        marker = f"\0HOME={self.env['HOME']}\0".encode()
        found = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/environ", "rb") as environ:
                    if marker in b"\0" + environ.read():
                        found.append(int(pid))
            except OSError:
                pass  # gone, or not ours to read
        return [pid for pid in found if pid != os.getpid()]

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
        for process in reversed(self.processes):
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        for pid in self.strays():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        shutil.rmtree(self.root, ignore_errors=True) if not os.environ.get("DUSK_KEEP") else None

    # --- GNOME's setting -----------------------------------------------------

    def gsettings(self, *args):
        return subprocess.run(["gsettings", *args], env=self.env, check=True, capture_output=True,
                              text=True).stdout.strip()

    def color_scheme(self):
        return self.gsettings("get", "org.gnome.desktop.interface", "color-scheme")

    def set_color_scheme(self, value):
        self.gsettings("set", "org.gnome.desktop.interface", "color-scheme", value)

    # --- Dusk ------------------------------------------------------------------

    def registered_items(self):
        return [line.split()[1] for line in self.read(self.host_log).splitlines() if line.startswith("registered")]

    def accessibility_bus(self):
        """The AT-SPI bus, started before any Dusk that is to join it."""
        if getattr(self, "_a11y", None) is None:
            launcher = self.bus.get_object("org.a11y.Bus", "/org/a11y/bus")
            address = dbus.Interface(launcher, "org.a11y.Bus").GetAddress()
            self._a11y = dbus.bus.BusConnection(str(address))
            self._a11y.activate_name_owner("org.a11y.atspi.Registry")
        return self._a11y

    def start_dusk(self, executable, wait_for_tray=True, accessible=False, env=None, wrapper=()):
        """`env` adds to (or, with None, removes from) the session's variables;
        `wrapper` is a command that runs Dusk, such as strace."""
        log = os.path.join(self.root, f"dusk-{len(self.processes)}.log")
        before = len(self.registered_items())
        # Qt joins the AT-SPI bus only if it is there when Qt starts.
        env = {**({"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"} if accessible else {}), **(env or {})}
        if accessible:
            self.accessibility_bus()
        with open(log, "w") as stderr:
            process = self.spawn([*wrapper, executable], stdout=subprocess.DEVNULL, stderr=stderr, env=env)
        dusk = Dusk(self, process, log)
        if wait_for_tray:
            dusk.service = wait_until(
                lambda: self.registered_items()[before] if len(self.registered_items()) > before else None,
                what=lambda: f"Dusk's tray item (its log: {dusk.log()!r}, exit status {process.poll()})", timeout=30)
        return dusk


class Dusk:
    def __init__(self, session, process, log):
        self.session = session
        self.process = process
        self.log_path = log
        self.service = None

    def log(self):
        return Session.read(self.log_path)

    def wait_for_log(self, text, count=1, timeout=10):
        """Dusk writes its log while it works: a line is awaited, never
        looked for once. Answers the log as it was then."""
        return wait_until(lambda: self.log() if self.log().count(text) >= count else None, timeout,
                          what=lambda: f"{text!r} {count} time(s) in Dusk's log {self.log()!r}")

    def _item(self):
        return self.session.bus.get_object(self.service, "/StatusNotifierItem")

    def item_property(self, name):
        return dbus.Interface(self._item(), dbus.PROPERTIES_IFACE).Get(SNI, name)

    def tooltip(self):
        return str(self.item_property("ToolTip")[2])

    def icon_name(self):
        return str(self.item_property("IconName"))

    def _menu(self):
        path = self.item_property("Menu")
        return dbus.Interface(self.session.bus.get_object(self.service, path), DBUSMENU)

    def open_menu(self):
        """What a shell does when the user opens the menu: about-to-show,
        then the layout. Answers [(id, label, properties)] for the items."""
        menu = self._menu()
        menu.AboutToShow(0)
        _, layout = menu.GetLayout(0, -1, [])
        entries = []
        for child in layout[2]:
            item_id, properties = int(child[0]), dict(child[1])
            label = str(properties.get("label", "")) if properties.get("type") != "separator" else "-"
            entries.append((item_id, label, properties))
        return entries

    def titles(self):
        return [label for _, label, _ in self.open_menu()]

    def click(self, title):
        for item_id, label, _ in self.open_menu():
            if label == title:
                self._menu().Event(item_id, "clicked", dbus.String("", variant_level=1), dbus.UInt32(0))
                return
        raise AssertionError(f"no menu item {title!r} in {self.titles()}")

    def checked(self, title):
        for _, label, properties in self.open_menu():
            if label == title:
                return int(properties.get("toggle-state", 0)) == 1
        raise AssertionError(f"no menu item {title!r}")

    def _accessibles(self):
        a11y = self.session.accessibility_bus()
        registry = a11y.get_object("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")
        found = []

        def walk(name, path):
            node = a11y.get_object(name, path)
            accessible = dbus.Interface(node, "org.a11y.atspi.Accessible")
            role = str(accessible.GetRoleName())
            if role in ("label", "push button"):
                text = dbus.Interface(node, dbus.PROPERTIES_IFACE).Get("org.a11y.atspi.Accessible", "Name")
                found.append((role, str(text), node))
            for child_name, child_path in accessible.GetChildren():
                walk(child_name, child_path)

        for name, path in dbus.Interface(registry, "org.a11y.atspi.Accessible").GetChildren():
            pid = a11y.call_blocking("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                     "GetConnectionUnixProcessID", "s", (name,))
            if int(pid) == self.process.pid:
                walk(name, path)
        return found

    def press_button(self, title):
        """Presses a button of Dusk's windows the way a screen reader does."""
        for role, text, node in self._accessibles():
            if role == "push button" and text == title:
                dbus.Interface(node, "org.a11y.atspi.Action").DoAction(0)
                return
        raise AssertionError(f"no button {title!r}")

    def window_texts(self):
        """The names of the labels and buttons in Dusk's windows, as a screen
        reader reads them over AT-SPI (start Dusk with accessible=True)."""
        return [text for _, text, _ in self._accessibles()]

    def wait_exit(self, timeout=10):
        return self.process.wait(timeout=timeout)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(timeout=5)


class SessionTestCase(unittest.TestCase):
    """One throwaway session per test class (of `session_kind`); each test
    starts in Light, and every Dusk it started is stopped after it."""

    session_kind = Session

    @classmethod
    def setUpClass(cls):
        cls.session = cls.session_kind()

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        self.session.set_color_scheme("default")
        self.running = []

    def tearDown(self):
        for dusk in self.running:
            dusk.stop()

    def start(self, executable=None, **kwargs):
        dusk = self.session.start_dusk(executable or os.environ["DUSK_EXECUTABLE"], **kwargs)
        self.running.append(dusk)
        return dusk

    def config(self, *parts):
        return os.path.join(self.session.env["XDG_CONFIG_HOME"], *parts)
