#!/usr/bin/env bash
# What a signed, pinned release adds to a whole installation of a 300 MiB setup: InstallWorker
# without pins and with the test pins (one more request, one signature verification, one
# Authenticode check of the whole file), each run in its own process, in interleaved rounds;
# then those three additions timed apart.
# The setup is the NSIS stand-in padded with zeros to <bytes> (which it never reads) and
# signed as the test publisher; its manifest is signed with the test release key.
# Usage: [KESTRAVON_BENCH_ROUNDS=n] bench/release-trust/run.sh [bytes]
#        (needs the windows-test build and its prefix)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/windows-test
export KESTRAVON_HARNESS_STATE=$build/harness
size=${1:-314572800}
exe=$build/bench/release-trust/bench_release_trust.exe
trust=$build/test-trust
service=$build/bench/release-trust/service
[ -f "$exe" ] || { echo "build first: cmake --build --preset windows-test" >&2; exit 1; }
[ -d "$KESTRAVON_HARNESS_STATE/wineprefix" ] || "$root/tests/harness/prepare-prefix.sh"

if [ ! -f "$service/ready-2-$size" ]; then
  rm -rf "$service"
  mkdir -p "$service/files"
  cp "$build/standins/kestravon-setup.exe" "$service/padded.exe"
  truncate -s "$size" "$service/padded.exe"
  "$root/tools/publish/sign.sh" --cert "$trust/publisher.chain.pem" --key "$trust/publisher.key" \
    --ca "$trust/code-ca.crt" --no-timestamp --name "Kestravon Setup" "$service/padded.exe" \
    "$service/files/KestravonSetup.exe" >/dev/null 2>&1
  rm "$service/padded.exe"
  python3 "$root/tests/setup/standins/sign-test-release.py" "$service/files/KestravonSetup.exe" \
    https://kestravon.test/files/KestravonSetup.exe "$trust" "$service"
  touch "$service/ready-2-$size"
fi

exec "$root/tests/harness/netns-run.sh" --service-dir "$service" bash -c '
  set -euo pipefail
  exe=$1 wine_run=$2 setup=$3 rounds=$4
  echo "$(($(stat -c %s "$setup") / 1048576)) MiB signed setup from the loopback service (TLS)"
  for round in $(seq "$rounds"); do
    for mode in unpinned pinned; do
      "$wine_run" "$exe" "$mode" "C:\\KestravonBench\\$mode-$round"
    done
  done
  for _ in $(seq "$rounds"); do
    "$wine_run" "$exe" parts "Z:${setup//\//\\}"
  done
' bench "$exe" "$root/tests/harness/wine-run.sh" "$service/files/KestravonSetup.exe" "${KESTRAVON_BENCH_ROUNDS:-3}"
