#!/usr/bin/env bash
# Start-up to first paint of KestravonInstaller.exe and of a plain one-window program,
# alternately under Wine on a private Xvfb, in a Wine prefix of its own.
# Usage: bench/startup/run.sh [runs [other.exe...]]   (default 15; needs the windows-test build)
#   other.exe: further programs measured alongside, e.g. an installer from an older build.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/windows-test
runs=${1:-15}
shift $(($# > 0 ? 1 : 0))
others=()
for exe in "$@"; do others+=("Z:$(realpath "$exe" | tr / '\\')"); done
probe=$build/bench/startup/bench_startup_probe.exe
plain=$build/bench/startup/bench_plain_window.exe
installer=$build/app/KestravonInstaller.exe
for exe in "$probe" "$plain" "$installer"; do
  [ -f "$exe" ] || { echo "build first: cmake --build --preset windows-test ($exe)" >&2; exit 1; }
done
state=$build/bench/startup/state
mkdir -p "$state"
export WINEPREFIX=$state/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

exec 3>"$state/displayfd"
setsid Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp </dev/null >"$state/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
cleanup() {
  wineserver -k 2>/dev/null || true  # this script's own prefix
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$state/displayfd" ] && break; sleep 0.1; done
DISPLAY=:$(tr -d '\n' <"$state/displayfd")
export DISPLAY
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
wineserver -w

windows_path() { echo "Z:${1//\//\\}"; }
# One unmeasured start of each first: the first Wine process of a session pays for more.
wine "$probe" 1 "$(windows_path "$installer")" "$(windows_path "$plain")" >/dev/null
wine "$probe" "$runs" "$(windows_path "$plain")" "$(windows_path "$installer")" "${others[@]}"
