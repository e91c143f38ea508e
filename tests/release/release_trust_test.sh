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
for i in 1 2 3 4; do
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 2>/dev/null | openssl pkey -pubout -out "$work/k$i.pem"
done
cat "$work"/k{1,2}.pem >"$work/two.pem"
cat "$work"/k{1,2,3,4}.pem "$work/good.pem" >"$work/five.pem"
{ cat "$work/k1.pem"; echo "comment"; cat "$work/k2.pem"; } >"$work/junk.pem"
cat "$work/k1.pem" "$work/k1.pem" >"$work/twice.pem"
digest=$(printf '%064d' 7)

check() {  # accept|refuse, key file or "", publisher name[, issuer keys[, min serial]]
  printf '%s' "$3" >"$work/name"
  local result=refuse
  python3 "$script" --key "$2" --publisher-file "$work/name" --issuer-keys "${4:-}" --min-serial "${5:-1}" \
    --out "$work/release_trust.h" 2>/dev/null && result=accept
  [ "$result" = "$1" ] || { echo "FAIL: expected $1 for key ${2##*/}, name $(printf '%q' "$3"), issuer ${4:-} and floor ${5:-1}"; failures=$((failures + 1)); }
}
check accept "$work/good.pem" 'Kestravon "Quotes"; Semicolons \ Ünïcödé'
check accept "" ""
check refuse "$work/compressed.pem" ""
check refuse "$work/p384.pem" ""
check refuse "$work/p256.pem" ""  # the private key
check refuse "" $'Kestravon\tLtd'
check refuse "" $'Kestravon\xc2\x85Ltd'  # a C1 control
# Rotation: up to four keys, nothing else in the file.
check accept "$work/two.pem" "" "" 7
check refuse "$work/five.pem" ""
check refuse "$work/junk.pem" ""
check refuse "$work/twice.pem" ""
# Names that can never match a certificate's.
check refuse "" $'Kestravon\xe2\x80\x8bLtd'  # zero-width space
check refuse "" $'\xef\xbb\xbfKestravon Ltd'  # byte-order mark
check refuse "" 'Kestravon Ltd '
# The issuer pin and the release floor.
check accept "" "Kestravon Ltd" "$digest;$(printf '%064d' 8)"
check refuse "" "Kestravon Ltd" "${digest:1}"
check refuse "" "" "$digest"  # an issuer without a publisher
check refuse "" "" "" 0
[ "$failures" -eq 0 ] && echo "release pins: all checks passed"
exit "$failures"
