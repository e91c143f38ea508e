#!/usr/bin/env bash
# Creates the build tree's Wine prefix once, and trusts the test CA inside it
# (never on the host). Safe to run again: it only does what is missing.
set -euo pipefail
state=${KESTRAVON_HARNESS_STATE:?}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$state"
export WINEPREFIX=$state/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec 9>"$state/prefix.lock"
flock 9
if [ ! -f "$WINEPREFIX/.kestravon-ready" ]; then
  wineboot --init >/dev/null 2>&1
  wineserver --wait
  touch "$WINEPREFIX/.kestravon-ready"
fi
# Further one-time set-up of the prefix (certificates, trusted CA) hooks in here.
for step in "$here"/prefix.d/*.sh; do
  [ -e "$step" ] || continue
  bash "$step"
done
echo "Wine prefix ready: $WINEPREFIX"
