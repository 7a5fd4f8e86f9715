#!/bin/sh
# Runs a Windows program under Wine for the tests and tools:
#   tools/wine/run.sh <prefix directory> program.exe [arguments...]
# The prefix is made once, on first use: DirectDraw through GDI (the only renderer that
# composites a windowed primary surface under Wine) and a 1024 x 768 virtual desktop, so
# windows have frames and screen pixels mean something. Without a DISPLAY the program gets
# a private Xvfb of its own. (The desktop named "shell" is the one Wine draws with its
# frames and a task bar.) The program's exit code is this script's.
set -eu
if [ $# -lt 2 ]; then
  echo "usage: $0 <prefix directory> program.exe [arguments...]" >&2
  exit 2
fi
prefix=$(realpath -m "$1")
shift
command -v wine >/dev/null 2>&1 || { echo "wine is not installed" >&2; exit 127; }
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$prefix"
(
  flock 9
  if [ ! -f "$prefix/.puzzle-ready-shell" ]; then
    DISPLAY= wine wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /d gdi /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.puzzle-ready-shell"
  fi
) 9>"$prefix.lock"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" wine "$@"
fi
exec wine "$@"
