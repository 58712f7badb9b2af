#!/usr/bin/python3
"""Puts Dusk in Debian's own panels under Xvfb, in Light and in Dark, takes
screenshots and measures how well its icon reads there: the contrast ratio
(WCAG 2) of the icon's main shape against the panel behind it.

    /usr/bin/python3 Tests/Linux/panel_contrast.py build/default/dusk docs/images
    /usr/bin/python3 Tests/Linux/panel_contrast.py --installed build/default docs/images

The second form installs that build into each session's ~/.local first, so
that panels find the icons by name the way they find an installed copy's.

The icon is found as what changed on screen when Dusk started; its main
shape is the changed pixels farthest in colour from the panel, the
anti-aliased edge left aside. Writes one image per panel (Light left, Dark
right, cropped around the icon) and prints one line per panel and
appearance. A figure, not a test."""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session import Session, contrast, wait_until  # noqa: E402

WIDTH, HEIGHT = 1024, 768

XFCE_PANEL = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="dark-mode" type="bool" value="true"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="26"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
        <value type="int" value="2"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/>
    </property>
    <property name="plugin-2" type="string" value="systray"/>
  </property>
</channel>
"""

LXQT_PANEL = """[General]
__userfile__=true
panels=panel1

[panel1]
plugins=spacer,statusnotifier,tray
position=Top
desktop=0

[spacer]
type=spacer
expandable=true

[statusnotifier]
type=statusnotifier

[tray]
type=tray
"""

# (name, command, files to write under XDG_CONFIG_HOME, extra environment)
PANELS = [
    ("xfce4-panel", ["xfce4-panel", "--disable-wm-check"],
     {"xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml": XFCE_PANEL}, {"XDG_CURRENT_DESKTOP": "XFCE"}),
    ("lxqt-panel", ["lxqt-panel"],
     {"lxqt/panel.conf": LXQT_PANEL, "lxqt/lxqt.conf": "[General]\ntheme=Clearlooks\n"},
     {"XDG_CURRENT_DESKTOP": "LXQt", "QT_QPA_PLATFORMTHEME": "lxqt"}),
    ("lxqt-panel-dark", ["lxqt-panel"],
     {"lxqt/panel.conf": LXQT_PANEL, "lxqt/lxqt.conf": "[General]\ntheme=dark\n"},
     {"XDG_CURRENT_DESKTOP": "LXQt", "QT_QPA_PLATFORMTHEME": "lxqt"}),
    ("trayer", ["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "48",
                "--height", "24", "--SetDockType", "true"], {}, {}),
]


def screen(session):
    raw = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=session.env,
                         capture_output=True, check=True).stdout
    return [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]


def distance(a, b):
    return sum((x - y) ** 2 for x, y in zip(a, b)) ** 0.5


def median_colour(pixels):
    return tuple(int(statistics.median(p[i] for p in pixels)) for i in range(3))


def measure(before, after):
    changed = [i for i, (a, b) in enumerate(zip(before, after)) if distance(a, b) > 24]
    if not changed:
        return None
    # The icon is where the change is greatest; a panel that makes room for
    # it may shift other things a little too.
    centre = max(changed, key=lambda i: distance(before[i], after[i]))
    changed = [i for i in changed if abs(i % WIDTH - centre % WIDTH) <= 20 and abs(i // WIDTH - centre // WIDTH) <= 20]
    far = distance(before[centre], after[centre])
    core = [i for i in changed if distance(before[i], after[i]) >= 0.8 * far]
    shape, behind = median_colour([after[i] for i in core]), median_colour([before[i] for i in core])
    xs, ys = [i % WIDTH for i in changed], [i // WIDTH for i in changed]
    return shape, behind, contrast(shape, behind), (min(xs), min(ys), max(xs), max(ys))


def run(executable, panel, scheme, build_dir=None):
    name, command, files, extra = panel
    session = Session(tray_host=False)
    try:
        if build_dir:
            prefix = os.path.dirname(session.env["XDG_DATA_HOME"])
            subprocess.run(["cmake", "--install", build_dir, "--prefix", prefix], check=True,
                           stdout=subprocess.DEVNULL)
            executable = os.path.join(prefix, "bin", "dusk")
        for path, text in files.items():
            full = os.path.join(session.env["XDG_CONFIG_HOME"], path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w") as file:
                file.write(text)
        session.env.update(extra)
        session.set_color_scheme(scheme)
        session.spawn(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Wait for the panel to be drawn and to settle.
        previous = [None]

        def settled():
            shot = screen(session)
            still = shot == previous[0] and any(pixel != (0, 0, 0) for pixel in shot[:WIDTH * 40])
            previous[0] = shot
            return still
        wait_until(settled, timeout=30, interval=1.0, what=f"{name} to be drawn")
        time.sleep(1)
        before = screen(session)
        dusk = session.start_dusk(executable, wait_for_tray=False)
        previous[0] = None

        def icon_shown():
            shot = screen(session)
            still = shot == previous[0] and shot != before
            previous[0] = shot
            return still
        wait_until(icon_shown, timeout=30, interval=1.0, what=f"Dusk's icon in {name}")
        after = previous[0]
        dusk.stop()
        return before, after, session
    except Exception:
        session.close()
        raise


def main():
    build_dir = None
    if sys.argv[1] == "--installed":
        build_dir = os.path.abspath(sys.argv.pop(2))
        sys.argv[1] = os.path.join(build_dir, "dusk")
    executable, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    os.makedirs(out, exist_ok=True)
    print("| panel | appearance | icon's main shape | panel behind it | contrast ratio |")
    print("|---|---|---|---|---|")
    scratch = tempfile.mkdtemp(prefix="dusk-panels-")
    suffix = "-installed" if build_dir else ""
    for panel in PANELS:
        crops = []
        for scheme, appearance in (("default", "Light"), ("prefer-dark", "Dark")):
            before, after, session = run(executable, panel, scheme, build_dir)
            try:
                result = measure(before, after)
                if result is None:
                    print(f"| {panel[0]} | {appearance} | no icon seen | | |")
                    continue
                shape, behind, ratio, (x0, y0, x1, y1) = result
                print(f"| {panel[0]} | {appearance} | #{'%02X%02X%02X' % shape} | #{'%02X%02X%02X' % behind} "
                      f"| {ratio:.1f}:1 |", flush=True)
                # The icon with some of the panel around it, enlarged so the
                # pixels show.
                left, top = max(0, x0 - 40), max(0, y0 - 8)
                crop = os.path.join(scratch, f"{panel[0]}-{appearance}.png")
                raw = os.path.join(scratch, "after.rgb")
                with open(raw, "wb") as file:
                    file.write(bytes(c for pixel in after for c in pixel))
                subprocess.run(["convert", "-size", f"{WIDTH}x{HEIGHT}", "-depth", "8", f"rgb:{raw}",
                                "-crop", f"{x1 - left + 41}x{y1 - top + 9}+{left}+{top}", "+repage",
                                "-scale", "200%", crop], check=True)
                crops.append(crop)
            finally:
                session.close()
        if len(crops) == 2:
            subprocess.run(["convert", crops[0], "-size", "12x1", "xc:white", crops[1], "-gravity", "center",
                            "+append", "+repage", os.path.join(out, f"panel-{panel[0]}{suffix}.png")], check=True)
    shutil.rmtree(scratch)


if __name__ == "__main__":
    main()
