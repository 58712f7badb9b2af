#!/usr/bin/python3
"""Takes the screenshots in docs/images from the real program under Xvfb.

    /usr/bin/python3 Tests/Linux/screenshots.py build/default/dusk docs/images

Xvfb has no panel, so the strip with the tray icon is drawn here from the
icon pixmap Dusk hands the tray host over D-Bus; the menu beneath it is
Dusk's own, opened the way a shell opens it (Activate on the item) and
captured from the screen. The recorder windows are captured as they are
drawn, without a window manager's frame. The notice of no tray is shown by
xfce4-notifyd, a GTK notification server, with Dusk installed under the
session's ~/.local (the build tree is the executable's folder), so that GTK
loads its moon by name."""

import os
import re
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import dbus  # noqa: E402
from session import SNI, Session, wait_until  # noqa: E402

WIDTH, HEIGHT = 1024, 768


def capture(session, path, geometry=None):
    command = ["import", "-window", "root"]
    if geometry:
        command += ["-crop", geometry]
    subprocess.run(command + [path], env=session.env, check=True)


def icon_png(dusk, path, size=22):
    for width, height, data in dusk.item_property("IconPixmap"):
        if int(width) == size:
            # Network byte order ARGB, as the StatusNotifierItem protocol has it.
            raw = bytes(bytearray(data))
            rgba = b"".join(raw[i + 1:i + 4] + raw[i:i + 1] for i in range(0, len(raw), 4))
            subprocess.run(["convert", "-size", f"{size}x{size}", "-depth", "8", "rgba:-", path], input=rgba,
                           check=True)
            return
    raise AssertionError("no pixmap of that size")


def window_geometry(session, title):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title, "getwindowgeometry", "--shell"],
                         env=session.env, capture_output=True, text=True).stdout
    values = dict(line.split("=") for line in out.split())
    return f"{values['WIDTH']}x{values['HEIGHT']}+{values['X']}+{values['Y']}"


def notice_png(executable, path):
    """The no-tray notice as xfce4-notifyd draws it, icon and all."""
    session = Session(tray_host=False)
    try:
        prefix = os.path.dirname(session.env["XDG_DATA_HOME"])
        subprocess.run(["cmake", "--install", os.path.dirname(executable), "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)
        session.spawn(["/usr/lib/x86_64-linux-gnu/xfce4/notifyd/xfce4-notifyd"], stdout=subprocess.DEVNULL,
                      stderr=subprocess.DEVNULL)

        def bubble():
            tree = subprocess.run(["xwininfo", "-root", "-tree"], env=session.env, capture_output=True,
                                  text=True).stdout
            for line in tree.splitlines():
                found = re.search(r"(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)", line)
                if '"Xfce4-notifyd"' in line and found and int(found.group(1)) > 50:
                    return "{}x{}+{}+{}".format(*found.groups())
            return None
        session.start_dusk(os.path.join(prefix, "bin", "dusk"), wait_for_tray=False)
        geometry = wait_until(bubble, timeout=30, what="the notice on screen")
        time.sleep(1.0)  # the bubble fades in
        capture(session, path, geometry)
    finally:
        session.close()


def main():
    executable, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    os.makedirs(out, exist_ok=True)
    session = Session()
    scratch = session.root
    try:
        session.set_color_scheme("default")
        dusk = session.start_dusk(executable)
        # The menu as a shell opens it: the item is activated under the pointer.
        subprocess.run(["xdotool", "mousemove", "760", "30"], env=session.env, check=True)
        item = dbus.Interface(session.bus.get_object(dusk.service, "/StatusNotifierItem"), SNI)
        item.Activate(dbus.Int32(760), dbus.Int32(30))
        time.sleep(1.0)
        screen = os.path.join(scratch, "screen.png")
        capture(session, screen)
        icon = os.path.join(scratch, "icon.png")
        icon_png(dusk, icon)
        # A light panel strip, the icon in it, and the open menu below.
        subprocess.run(["convert", "-size", "460x28", "xc:#e4e4e7", icon, "-geometry", "+193+3", "-composite",
                        "(", screen, "-crop", "460x96+567+30", "+repage", ")", "-append",
                        os.path.join(out, "tray-menu.png")], check=True)
        subprocess.run(["xdotool", "key", "Escape"], env=session.env)
        dusk.stop()

        for scheme, name in (("default", "recorder-light.png"), ("prefer-dark", "recorder-dark.png")):
            session.set_color_scheme(scheme)
            dusk = session.start_dusk(executable)
            dusk.click(dusk.titles()[1])
            wait_until(lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Dusk Hotkey$"],
                                              env=session.env, capture_output=True).returncode == 0)
            time.sleep(0.7)
            capture(session, os.path.join(out, name), window_geometry(session, "^Dusk Hotkey$"))
            dusk.stop()
    finally:
        session.close()
    notice_png(executable, os.path.join(out, "notice-no-tray.png"))


if __name__ == "__main__":
    main()
