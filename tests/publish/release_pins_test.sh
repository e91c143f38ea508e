#!/usr/bin/env bash
# The release pins a build accepts and those that stop its configure, given as -D options
# to a configure of cmake/ReleaseTrust.cmake (tests/publish/pins); for every key file also
# kestravon-publish --check's verdict, which must be the build's.
#   release_pins_test.sh SOURCE_DIR TOOL   (TOOL built for the service host kestravon.test)
set -uo pipefail
source_dir=$1 tool=$2
work=$(mktemp -d /tmp/kestravon-pins.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
new_key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$work/$1" 2>/dev/null; }
new_key p256.pem
openssl pkey -in "$work/p256.pem" -pubout -out "$work/good.pem"
openssl ec -in "$work/p256.pem" -pubout -conv_form compressed -out "$work/compressed.pem" 2>/dev/null
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 2>/dev/null | openssl pkey -pubout -out "$work/p384.pem"
for i in 1 2 3 4; do
  new_key "private$i.pem" && openssl pkey -in "$work/private$i.pem" -pubout -out "$work/k$i.pem"
done
cat "$work"/k{1,2}.pem >"$work/two.pem"
sed 's/$/\r/' "$work/two.pem" >"$work/crlf.pem"
cat "$work"/k{1,2,3,4}.pem "$work/good.pem" >"$work/five.pem"
{ cat "$work/k1.pem"; echo "comment"; cat "$work/k2.pem"; } >"$work/junk.pem"
{ cat "$work/k1.pem"; printf '\v'; } >"$work/tab.pem"  # a vertical tab is no line end
cat "$work/k1.pem" "$work/k1.pem" >"$work/twice.pem"
: >"$work/empty.pem"
# The same key with stray bits after its last byte (its standard encoding has none there), and
# with a point off the curve (Y's last byte changed).
python3 - "$work" <<'PY'
import base64, sys
work = sys.argv[1]
lines = open(f"{work}/k1.pem").read().split("\n")
der = bytearray(base64.b64decode("".join(lines[1:-2])))
def write(name, body):
    with open(f"{work}/{name}", "w") as f:
        f.write(lines[0] + "\n" + body[:64] + "\n" + body[64:] + "\n" + lines[-2] + "\n")
body = base64.b64encode(bytes(der)).decode()
write("stray-bits.pem", body[:-3] + chr(ord(body[-3]) + 1) + "==")
der[-1] ^= 1
write("off-curve.pem", base64.b64encode(bytes(der)).decode())
PY
d1=$(printf '%064d' 7) d2=$(printf '%064d' 8)

# A release signed by k1 and k2 (threshold 2 of two.pem installs it), for the tool's verdicts.
printf 'MZ setup' >"$work/setup.exe"
mkdir -p "$work/release/files"
cp "$work/setup.exe" "$work/release/files/setup.exe"
"$tool" --url https://kestravon.test/files/setup.exe --version 1 --setup "$work/setup.exe" --serial 1 \
  --out "$work/release/manifest.json" --sign-key "$work/private1.pem" --sign-key "$work/private2.pem" ||
  { echo "FAIL: the test release could not be written"; exit 1; }

# verdict, key file, publisher, issuer keys, serial floor, threshold[, text the header must hold]
check() {
  local want=$1 key=$2 publisher=$3 issuers=$4 floor=$5 threshold=$6 holds=${7:-}
  local extra=(-UKESTRAVON_TEST_STRAY_ARGUMENT)
  [ "$key" = stray ] && { key=""; extra=(-DKESTRAVON_TEST_STRAY_ARGUMENT=extra); }
  local what="key ${key##*/}, publisher $(printf '%q' "$publisher"), issuers '$issuers', floor '$floor',"
  what+=" threshold '$threshold'"
  # One build folder for every row (a configure again is quick); every pin is given each time.
  local header=$work/build/generated/release_trust/release_trust.h
  rm -f "$header"
  local build=refuse
  cmake -S "$source_dir/tests/publish/pins" -B "$work/build" -DKESTRAVON_SOURCE_DIR="$source_dir" \
    -DKESTRAVON_RELEASE_KEY="$key" -DKESTRAVON_SETUP_PUBLISHER="$publisher" -DKESTRAVON_SETUP_ISSUER_KEYS="$issuers" \
    -DKESTRAVON_MIN_RELEASE_SERIAL="$floor" -DKESTRAVON_RELEASE_THRESHOLD="$threshold" "${extra[@]}" \
    >"$work/configure.log" 2>&1 && build=accept
  if [ "$build" != "$want" ]; then
    echo "FAIL: the configure would $build $what: $(grep -A2 'CMake Error' "$work/configure.log" | tail -n 2)"
    failures=$((failures + 1))
  fi
  if [ -n "$holds" ] && ! grep -qF -- "$holds" "$header" 2>/dev/null; then
    echo "FAIL: $what: the header does not hold '$holds'"
    failures=$((failures + 1))
  fi
  [ -n "$key" ] || return 0
  # The tool reads keys before anything else; "An installer would ..." means it took them.
  local tool_verdict=refuse
  "$tool" --check "$work/release" --public-key "$key" --threshold "$threshold" >"$work/tool.out" 2>&1
  grep -q "^An installer would" "$work/tool.out" && tool_verdict=accept
  if [ "$tool_verdict" != "$want" ]; then
    echo "FAIL: kestravon-publish --check would $tool_verdict $what: $(cat "$work/tool.out")"
    failures=$((failures + 1))
  fi
}
# Key files: both readers take or refuse each.
check accept "$work/good.pem" "" "" 1 1 "{KestravonReleaseKeys, 1, 1}"
check accept "$work/crlf.pem" "" "" 1 1
check refuse "$work/compressed.pem" "" "" 1 1
check refuse "$work/p384.pem" "" "" 1 1
check refuse "$work/p256.pem" "" "" 1 1  # the private key
check refuse "$work/empty.pem" "" "" 1 1
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
check refuse "$work/two.pem" "" "" 1 ""
check refuse "$work/two.pem" "" "" 1 "1;2"
check refuse "" "" "" 1 2
# Names that can never match a certificate's.
check accept "" 'Kestravon "Quotes"; Semicolons \ Ünïcödé' "" 1 1
check refuse "" $'Kestravon\tLtd' "" 1 1
check refuse "" $'Kestravon\xc2\x85Ltd' "" 1 1  # a C1 control
check refuse "" $'Kestravon\xe2\x80\x8bLtd' "" 1 1  # zero-width space
check refuse "" $'\xef\xbb\xbfKestravon Ltd' "" 1 1  # byte-order mark
check refuse "" ' Kestravon Ltd' "" 1 1  # (CMake itself drops white space after a -D value)
# The issuer pin: every digest reaches the header, a malformed one anywhere stops the configure.
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
