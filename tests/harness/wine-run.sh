#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix, on the harness's
# Xvfb display when one is running. Used as CMAKE_CROSSCOMPILING_EMULATOR.
set -euo pipefail
state=${KESTRAVON_HARNESS_STATE:?KESTRAVON_HARNESS_STATE is not set (run through ctest)}
export WINEPREFIX=${WINEPREFIX:-$state/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ -f "$state/display" ]; then
  DISPLAY=$(cat "$state/display")
  export DISPLAY
fi
exec wine "$@"
