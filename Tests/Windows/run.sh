#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: the core's and the backend's
# unit tests, and the end-to-end suite under Wine's virtual desktop on Xvfb.
#   Tests/Windows/run.sh [ctest arguments]    (after cmake --build --preset windows)
#
# Wine's prefix lives in build/windows/wineprefix and is made once: Windows 10
# (a fresh prefix says Windows 7 and has no Personalize key) and one virtual
# desktop with Wine's taskbar, where hot keys reach a program. Its wineserver
# is kept running and warmed up before CTest starts: GoogleTest's discovery
# would otherwise wait on Wine's services holding its output pipe.
set -euo pipefail
cd "$(dirname "$0")/../.."
export WINEPREFIX="$PWD/build/windows/wineprefix"
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
# Debian puts no wine64 on PATH.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

if [ ! -f "$WINEPREFIX/.dusk-ready" ]; then
  rm -rf "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1
  "$wine" winecfg /v win10 >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Dusk /f >/dev/null
  "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Dusk /d 1024x768 /f >/dev/null
  "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops\Dusk' /v EnableShell /t REG_DWORD /d 1 /f >/dev/null
  "$wineserver" -w
  touch "$WINEPREFIX/.dusk-ready"
fi

"$wineserver" -p
trap '"$wineserver" -k || true' EXIT
"$wine" cmd /c exit
ctest --preset windows "$@"
