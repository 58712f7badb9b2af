"""Dusk for Windows under Wine's virtual desktop on Xvfb, driven as a user
would: the tray icon read from the screen, clicked with xdotool, the menu's
items found in a screenshot and clicked (typing into a Wine menu is
unreliable), keys pressed while the desktop has the keyboard, the registry
read back with `wine reg query`.

Each WineDesktop has its own X server and its own copy of the prefix that
Tests/Windows/run.sh prepared (hard links, the registry files copied, the
temporary folders empty),
so its wineserver can be ended without touching another test's. Every wait
has a deadline."""

import os
import re
import shutil
import subprocess
import tempfile
import time

WINE = os.environ.get("DUSK_WINE", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("DUSK_WINESERVER", "/usr/lib/wine/wineserver")
DUSK_EXE = os.environ.get("DUSK_EXE", "")
PROBE_EXE = os.environ.get("DUSK_PROBE_EXE", "")
WIDTH, HEIGHT = 1024, 768
# Wine's taskbar: the bottom 20 rows of its virtual desktop.
TASKBAR_TOP = HEIGHT - 20
PERSONALIZE = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"


def wait_until(condition, what, timeout=20.0, interval=0.1):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


class Screenshot:
    def __init__(self, ppm):
        # P6 <width> <height> <maxval> then RGB bytes.
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", ppm)
        self.width, self.height = int(header.group(1)), int(header.group(2))
        self.pixels = ppm[header.end():]

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])

    def gray(self, x, y):
        r, g, b = self.at(x, y)
        return (r + g + b) // 3


class Dusk:
    """One dusk.exe process, its log (Wine's debug channel) in a file."""

    def __init__(self, desktop, arguments=()):
        self.desktop = desktop
        self.log_path = os.path.join(desktop.folder, f"dusk-{len(desktop.started)}.log")
        self.log_file = open(self.log_path, "w")
        self.process = subprocess.Popen([WINE, DUSK_EXE, *arguments], env=desktop.env, stdout=self.log_file,
                                        stderr=subprocess.STDOUT)

    def log(self):
        with open(self.log_path, errors="replace") as file:
            return "\n".join(m.group(1) for m in re.finditer(r'OutputDebugStringA "Dusk(?: error)?: (.*?)\\n"',
                                                             file.read()))

    def wait_for_log(self, pattern, timeout=20.0):
        return wait_until(lambda: re.search(pattern, self.log()), f"the log to show {pattern!r}:\n{self.log()}",
                          timeout)

    def wait_for_exit(self, timeout=20.0):
        return self.process.wait(timeout=timeout)


class WineDesktop:
    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="dusk-wine-")
        try:
            self._prepare()
        except BaseException:
            shutil.rmtree(self.folder, ignore_errors=True)
            raise
        self.started = []

    def _prepare(self):
        self.prefix = os.path.join(self.folder, "prefix")
        base = os.environ["WINEPREFIX"]
        # Hard links, but not what the unit tests running beside put in the
        # temporary folders, which may go while it is copied.
        shutil.copytree(base, self.prefix, symlinks=True, copy_function=os.link,
                        ignore=lambda folder, names: names if os.path.basename(folder).lower() == "temp" else [])
        for name in ("system.reg", "user.reg", "userdef.reg"):
            os.unlink(os.path.join(self.prefix, name))
            shutil.copy2(os.path.join(base, name), os.path.join(self.prefix, name))
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", f"{WIDTH}x{HEIGHT}x24",
                                      "-nolisten", "tcp"], pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as display:
            number = display.readline().strip()
        self.env = dict(os.environ, WINEPREFIX=self.prefix, DISPLAY=f":{number}", WINEDEBUG="-all,warn+seh",
                        WINEDLLOVERRIDES="mscoree,mshtml=")

    def close(self):
        subprocess.run([WINESERVER, "-k"], env=self.env)
        subprocess.run([WINESERVER, "-w"], env=self.env)
        for dusk in self.started:
            dusk.log_file.close()
        self.xvfb.terminate()
        self.xvfb.wait()
        shutil.rmtree(self.folder, ignore_errors=True)

    # --- Windows programs -----------------------------------------------------

    def wine(self, *arguments, timeout=60):
        return subprocess.run([WINE, *arguments], env=self.env, capture_output=True, text=True, timeout=timeout)

    def reg(self, *arguments):
        result = self.wine("reg", *arguments)
        assert result.returncode == 0, f"reg {arguments}: {result.stdout}{result.stderr}"
        return result.stdout

    def reg_values(self, key):
        """A key's values as `wine reg query` prints them: name to (type, data)."""
        result = self.wine("reg", "query", key)
        return {m.group(1): (m.group(2), m.group(3))
                for m in re.finditer(r"^\s{4}(\S+)\s+(REG_\w+)\s+(.*?)\s*$", result.stdout, re.MULTILINE)}

    def reg_value(self, key, name):
        return self.reg_values(key).get(name)

    def reg_import(self, text):
        """Writes values as a .reg file says, with one program."""
        path = os.path.join(self.folder, "import.reg")
        with open(path, "w", encoding="utf-16") as file:
            file.write("Windows Registry Editor Version 5.00\n\n" + text)
        self.reg("import", path)

    def start_dusk(self, *arguments):
        dusk = Dusk(self, arguments)
        self.started.append(dusk)
        return dusk

    def command(self, *arguments):
        return subprocess.run([WINE, DUSK_EXE, *arguments], env=self.env, capture_output=True, text=True, timeout=60)

    def appdata(self):
        return os.path.join(self.prefix, "drive_c", "users", os.environ.get("USER", "root"), "AppData", "Roaming")

    # --- the screen -----------------------------------------------------------

    def xdotool(self, *arguments):
        subprocess.run(["xdotool", *arguments], env=self.env, check=True)

    def screenshot(self):
        ppm = subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", "-depth", "8", "ppm:-"],
                             capture_output=True, check=True).stdout
        return Screenshot(ppm)

    def save_screenshot(self, path, crop=None):
        arguments = ["import", "-display", self.env["DISPLAY"], "-window", "root"]
        if crop:
            arguments += ["-crop", crop]
        subprocess.run([*arguments, path], check=True)

    def tray_icon(self):
        """The tray icon's pixels, (x, y, width, height), or None: what differs
        from the taskbar's colour at the right of the taskbar."""
        shot = self.screenshot()
        background = shot.at(WIDTH - 60, HEIGHT - 2)
        columns = [x for x in range(WIDTH - 48, WIDTH)
                   if any(shot.at(x, y) != background for y in range(TASKBAR_TOP + 1, HEIGHT))]
        rows = [y for y in range(TASKBAR_TOP + 1, HEIGHT)
                if any(shot.at(x, y) != background for x in range(WIDTH - 48, WIDTH))]
        if not columns or not rows:
            return None
        return shot, (columns[0], rows[0], columns[-1] - columns[0] + 1, rows[-1] - rows[0] + 1)

    def icon_darkness(self):
        """How many of the icon's pixels are near black, and how many are
        darker than the taskbar at all."""
        shot, (x, y, w, h) = wait_until(self.tray_icon, "the tray icon")
        grays = [shot.gray(i, j) for i in range(x, x + w) for j in range(y, y + h)]
        return sum(g < 60 for g in grays), sum(g < 200 for g in grays)

    def click_tray_icon(self):
        _, (x, y, w, h) = wait_until(self.tray_icon, "the tray icon")
        self.xdotool("mousemove", str(x + w // 2), str(y + h // 2), "click", "1")

    def dusk_windows(self):
        """dusk.exe's mapped windows larger than a point: (x, y, w, h, name)."""
        tree = subprocess.run(["xwininfo", "-root", "-tree"], env=self.env, capture_output=True, text=True).stdout
        windows = []
        for line in tree.splitlines():
            found = re.search(r'(?:"(.*?)"|\(has no name\)): \("dusk.exe" "dusk.exe"\)\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)',
                              line)
            if not found:
                continue
            name, w, h, x, y = found.group(1), *map(int, found.groups()[1:])
            window_id = line.split()[0]
            state = subprocess.run(["xwininfo", "-id", window_id], env=self.env, capture_output=True,
                                   text=True).stdout
            if w > 20 and h > 20 and "IsViewable" in state:
                windows.append((x, y, w, h, name))
        return windows

    def open_menu(self):
        """Opens the tray icon's menu and answers the middle of each item, in
        order, found in a screenshot (text rows between separator lines), and
        the menu's place on the screen."""
        self.click_tray_icon()
        x, y, w, h, _ = wait_until(lambda: next((win for win in self.dusk_windows() if win[4] is None), None),
                                   "the menu")
        # Away from the menu, so that no item is highlighted and no tooltip covers it.
        self.xdotool("mousemove", "10", "10")
        time.sleep(0.3)
        shot = self.screenshot()
        background = shot.at(x + w - 4, y + h // 2)
        inked = [sum(shot.at(i, j) != background for i in range(x + 3, x + w - 3)) for j in range(y + 2, y + h - 2)]
        items, band = [], []
        for offset, count in enumerate(inked + [0]):
            if count:
                band.append((offset, count))
                continue
            if band:
                # A separator is a line across the menu, a title is text.
                if max(c for _, c in band) < (w - 6) * 0.8:
                    middle = (band[0][0] + band[-1][0]) // 2 + y + 2
                    items.append((x + 30, middle))
                band = []
        return items, (x, y, w, h)

    def click(self, point):
        self.xdotool("mousemove", str(point[0]), str(point[1]), "click", "1")

    def choose(self, index, expected_items=4):
        items, _ = self.open_menu()
        assert len(items) == expected_items, f"the menu shows {len(items)} items, not {expected_items}"
        self.click(items[index])

    def press(self, keys):
        # Keys reach Wine while one of its windows has the keyboard: the desktop.
        self.xdotool("mousemove", "500", "300")
        self.xdotool("key", "--clearmodifiers", keys)
