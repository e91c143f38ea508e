#!/usr/bin/env bash
# Makes the test certificates and trusts the test CA inside this build tree's Wine
# prefix only (LocalMachine Root store of the prefix, never the host's store).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
state=${KESTRAVON_HARNESS_STATE:?}
build=${KESTRAVON_BUILD_DIR:?}
export WINEPREFIX=$state/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bash "$here/make-certs.sh"
marker=$WINEPREFIX/.kestravon-test-ca
if [ -f "$marker" ] && cmp -s "$marker" "$state/certs/ca.der"; then
  exit 0
fi
helper=$build/tests/harness/trust_ca.exe
[ -f "$helper" ] || { echo "missing $helper: build the tree first" >&2; exit 1; }
wine "$helper" "$(winepath -w "$state/certs/ca.der")"
wineserver --wait
cp "$state/certs/ca.der" "$marker"
echo "Test CA trusted in $WINEPREFIX"
