#!/usr/bin/env bash
# The release pins a build accepts and those that stop its configure, given as -D options
# to a configure of cmake/ReleaseTrust.cmake (tests/publish/pins); for every key file also
# kestravon-publish --check's verdict, which must be the build's.
#   release_pins_test.sh SOURCE_DIR TOOL
set -uo pipefail
source_dir=$1 tool=$2
work=$(mktemp -d /tmp/kestravon-pins.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$work/p256.pem" 2>/dev/null
openssl ec -in "$work/p256.pem" -pubout -conv_form compressed -out "$work/compressed.pem" 2>/dev/null
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 2>/dev/null | openssl pkey -pubout -out "$work/p384.pem"
for i in 1 2 3 4 5; do
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 2>/dev/null | openssl pkey -pubout -out "$work/k$i.pem"
done
cat "$work"/k{1,2}.pem >"$work/two.pem"
sed 's/$/\r/' "$work/two.pem" >"$work/crlf.pem"
cat "$work"/k{1,2,3,4,5}.pem >"$work/five.pem"
{ cat "$work/k1.pem"; echo "comment"; cat "$work/k2.pem"; } >"$work/junk.pem"
{ cat "$work/k1.pem"; printf '\v'; } >"$work/tab.pem"  # a vertical tab is no line end
cat "$work/k1.pem" "$work/k1.pem" >"$work/twice.pem"
# k1 with stray bits after its last byte (not its standard encoding), and off the curve.
python3 - "$work" <<'PY'
import base64, sys
lines = open(f"{sys.argv[1]}/k1.pem").read().split("\n")
der = bytearray(base64.b64decode("".join(lines[1:-2])))
def write(name, body):
    with open(f"{sys.argv[1]}/{name}", "w") as f:
        f.write("\n".join([lines[0], body[:64], body[64:], lines[-2], ""]))
body = base64.b64encode(bytes(der)).decode()
write("stray-bits.pem", body[:-3] + chr(ord(body[-3]) + 1) + "==")
der[-1] ^= 1
write("off-curve.pem", base64.b64encode(bytes(der)).decode())
PY
d1=$(printf '%064d' 7) d2=$(printf '%064d' 8)

# verdict, key file (or "stray": an argument the function does not know), publisher, issuer
# keys, serial floor, threshold[, text the header must hold]
check() {
  local want=$1 key=$2 extra=(-UKESTRAVON_TEST_STRAY_ARGUMENT) what="${*:2:5}"
  [ "$key" = stray ] && { key=""; extra=(-DKESTRAVON_TEST_STRAY_ARGUMENT=extra); }
  # One build folder for every row (a configure again is quick); every pin is given each time.
  local header=$work/build/generated/release_trust/release_trust.h build=refuse
  rm -f "$header"
  cmake -S "$source_dir/tests/publish/pins" -B "$work/build" -DKESTRAVON_SOURCE_DIR="$source_dir" \
    -DKESTRAVON_RELEASE_KEY="$key" -DKESTRAVON_SETUP_PUBLISHER="$3" -DKESTRAVON_SETUP_ISSUER_KEYS="$4" \
    -DKESTRAVON_MIN_RELEASE_SERIAL="$5" -DKESTRAVON_RELEASE_THRESHOLD="$6" "${extra[@]}" >/dev/null 2>&1 &&
    build=accept
  [ "$build" = "$want" ] || { echo "FAIL: the configure would $build: $what"; failures=$((failures + 1)); }
  if [ -n "${7:-}" ] && ! grep -qF -- "$7" "$header" 2>/dev/null; then
    echo "FAIL: the header does not hold '$7': $what"
    failures=$((failures + 1))
  fi
  [ -n "$key" ] || return 0
  # The tool reads keys before the folder; "An installer would ..." means it took them.
  local read=refuse
  [[ $("$tool" --check "$work" --public-key "$key" --threshold "$6" 2>&1) == "An installer would"* ]] && read=accept
  [ "$read" = "$want" ] || { echo "FAIL: kestravon-publish --check would $read: $what"; failures=$((failures + 1)); }
}
# Key files: both readers take or refuse each.
check accept "$work/k1.pem" "" "" 1 1 "{KestravonReleaseKeys, 1, 1}"
check accept "$work/crlf.pem" "" "" 1 1
check refuse "$work/compressed.pem" "" "" 1 1
check refuse "$work/p384.pem" "" "" 1 1
check refuse "$work/p256.pem" "" "" 1 1  # the private key
check refuse "$work/five.pem" "" "" 1 1
check refuse "$work/junk.pem" "" "" 1 1
check refuse "$work/tab.pem" "" "" 1 1
check refuse "$work/twice.pem" "" "" 1 1
check refuse "$work/stray-bits.pem" "" "" 1 1
check refuse "$work/off-curve.pem" "" "" 1 1
# The threshold: 1 to the number of keys.
check accept "$work/two.pem" "" "" 7 2 "{KestravonReleaseKeys, 2, 2}, 7ull"
check refuse "$work/two.pem" "" "" 1 3
check refuse "$work/two.pem" "" "" 1 0
check refuse "" "" "" 1 2
# Names that can never match a certificate's.
check accept "" 'Kestravon "Quotes"; Semicolons \ Ünïcödé' "" 1 1
check refuse "" $'Kestravon\tLtd' "" 1 1
check refuse "" $'Kestravon\xc2\x85Ltd' "" 1 1  # a C1 control
check refuse "" $'Kestravon\xe2\x80\x8bLtd' "" 1 1  # zero-width space
check refuse "" $'\xef\xbb\xbfKestravon Ltd' "" 1 1  # byte-order mark
check refuse "" ' Kestravon Ltd' "" 1 1  # (CMake itself drops white space after a -D value)
# Every issuer digest reaches the header; a malformed one anywhere stops the configure.
check accept "" "Kestravon Ltd" "$d1;$d2" 1 1 "KestravonSetupIssuerKeys, 2}"
check refuse "" "Kestravon Ltd" "${d1:1}" 1 1
check refuse "" "Kestravon Ltd" "$d1;zz" 1 1
check refuse "" "" "$d1" 1 1  # an issuer without a publisher
# The serial floor: one whole number, never a default in place of an empty one.
check refuse "" "" "" 0 1
check refuse "" "" "" "" 1
check refuse "" "" "" "12;13" 1
check refuse stray "" "" 1 1
[ "$failures" -eq 0 ] && echo "release pins: all checks passed"
exit "$failures"
