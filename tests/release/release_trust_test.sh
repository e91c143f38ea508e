#!/usr/bin/env bash
# cmake/release_trust.py: the release pins it accepts and those it refuses.
#   release_trust_test.sh SOURCE_DIR
set -euo pipefail
script=$1/cmake/release_trust.py
work=$(mktemp -d /tmp/kestravon-pins.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$work/p256.pem" 2>/dev/null
openssl pkey -in "$work/p256.pem" -pubout -out "$work/good.pem"
openssl ec -in "$work/p256.pem" -pubout -conv_form compressed -out "$work/compressed.pem" 2>/dev/null
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 2>/dev/null | openssl pkey -pubout -out "$work/p384.pem"

check() {  # accept|refuse, key file or "", publisher name
  printf '%s' "$3" >"$work/name"
  local result=refuse
  python3 "$script" --key "$2" --publisher-file "$work/name" --out "$work/release_trust.h" 2>/dev/null && result=accept
  [ "$result" = "$1" ] || { echo "FAIL: expected $1 for key ${2##*/} and name $(printf '%q' "$3")"; failures=$((failures + 1)); }
}
check accept "$work/good.pem" 'Kestravon "Quotes"; Semicolons \ Ünïcödé'
check accept "" ""
check refuse "$work/compressed.pem" ""
check refuse "$work/p384.pem" ""
check refuse "$work/p256.pem" ""  # the private key
check refuse "" $'Kestravon\tLtd'
check refuse "" $'Kestravon\xc2\x85Ltd'  # a C1 control
[ "$failures" -eq 0 ] && echo "release pins: all checks passed"
exit "$failures"
