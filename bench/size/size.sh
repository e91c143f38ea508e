#!/usr/bin/env bash
# Size of the stripped KestravonInstaller.exe (windows preset flags, pinned like a release
# to a throwaway release key, serial floor, publisher and issuer key) with a breakdown of the largest contributors,
# read from the linker map, and its size once signed by tools/publish/sign.sh with a
# throwaway self-signed certificate (RSA 2048, no time stamp).
# usage: bench/size/size.sh [TOP]     (builds into build/size)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
top=${1:-15}
build=$root/build/size
map=$build/KestravonInstaller.map
work=$(mktemp -d /tmp/kestravon-size.XXXXXX)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/sign.key" -out "$work/sign.crt" -days 2 \
  -subj "/CN=Kestravon Size Bench" -addext "keyUsage=critical,digitalSignature" \
  -addext "extendedKeyUsage=codeSigning" 2>/dev/null
# A fixed key beside the build, so that a second run rebuilds nothing (the public key of
# the scalar 1: only its size matters here).
mkdir -p "$build"
cat >"$build/release.pub.pem" <<'PEM'
-----BEGIN PUBLIC KEY-----
MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEaxfR8uEsQkf4vOblY6RA8ncDfYEt
6zOg9KE5RdiYwpZP40Li/hp/m47n60p8D54WK84zV2sxXs7LtkBoN79R9Q==
-----END PUBLIC KEY-----
PEM
cmake -S "$root" -B "$build" -G Ninja --toolchain "$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DKESTRAVON_BUILD_TESTS=OFF \
  -DKESTRAVON_RELEASE_KEY="$build/release.pub.pem" -DKESTRAVON_MIN_RELEASE_SERIAL=1000 \
  -DKESTRAVON_SETUP_PUBLISHER="Kestravon Size Bench" -DKESTRAVON_SETUP_ISSUER_KEYS="$(printf '%064d' 1)" \
  "-DCMAKE_EXE_LINKER_FLAGS=-Wl,-Map=$map" >/dev/null
cmake --build "$build" --target KestravonInstaller -j 2 >/dev/null
exe=$build/app/KestravonInstaller.exe
echo "KestravonInstaller.exe (stripped): $(stat -c %s "$exe") bytes"
"$root/tools/publish/sign.sh" --cert "$work/sign.crt" --key "$work/sign.key" --ca "$work/sign.crt" --no-timestamp \
  "$exe" "$work/signed.exe" >/dev/null 2>&1
echo "Signed with a self-signed RSA 2048 certificate: $(stat -c %s "$work/signed.exe") bytes"
echo
echo "Sections:"
x86_64-w64-mingw32-objdump -h "$exe" | awk '$1 ~ /^[0-9]+$/ { print $2, $3 }' | while read -r name hex; do printf '  %-8s %8d bytes\n' "$name" $((16#$hex)); done
echo
python3 "$root/bench/size/map_report.py" "$map" "$top"
