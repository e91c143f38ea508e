#!/usr/bin/env bash
# Download + verify of a 300 MiB installer from the local test release service:
# DownloadInstaller, a bare WinHTTP read + CNG hash loop, the same loop also writing
# each chunk to a file made as the download makes its own, and also posting progress
# (each in its own process, so each peak working set is its own), and natively
# curl | sha256sum.
# Usage: [KESTRAVON_BENCH_ROUNDS=n] bench/download/run.sh [bytes]
#        (needs the windows-test build and its prefix)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/windows-test
export KESTRAVON_HARNESS_STATE=$build/harness
size=${1:-314572800}
exe=$build/bench/download/bench_download.exe
[ -f "$exe" ] || { echo "build first: cmake --build --preset windows-test" >&2; exit 1; }
[ -d "$KESTRAVON_HARNESS_STATE/wineprefix" ] || "$root/tests/harness/prepare-prefix.sh"

exec "$root/tests/harness/netns-run.sh" bash -c '
  set -euo pipefail
  size=$1 exe=$2 wine_run=$3
  certs=$KESTRAVON_HARNESS_STATE/certs
  url="https://kestravon.test/t/body?size=$size&seed=42&chunk=131072"
  sha=$(curl -sS --cacert "$certs/ca.pem" "https://kestravon.test/t/sha256?size=$size&seed=42")
  echo "$((size / 1048576)) MiB from the loopback service (TLS), sha256 $sha"
  # Interleaved rounds, so that load from elsewhere falls on every mode alike.
  for _ in $(seq "${KESTRAVON_BENCH_ROUNDS:-1}"); do
    for mode in installer bare bare+write bare+write+post post; do
      "$wine_run" "$exe" "$mode" "$size" "$sha"
    done
  done
  start=$(date +%s.%N)
  got=$( { /usr/bin/time -f "%M" -o /tmp/bench-curl-rss.$$ curl -sS --cacert "$certs/ca.pem" "$url"; } | sha256sum | cut -d" " -f1)
  end=$(date +%s.%N)
  rss=$(cat /tmp/bench-curl-rss.$$); rm -f /tmp/bench-curl-rss.$$
  [ "$got" = "$sha" ] && state=ok || state=FAIL
  awk -v s="$size" -v a="$start" -v b="$end" -v r="$rss" -v st="$state" \
    "BEGIN { t = b - a; printf \"%-15s %-4s  %6.2f s  %7.1f MiB/s  peak RSS of curl %6.1f MiB (native)\n\", \"curl|sha\", st, t, s / 1048576 / t, r / 1024 }"
' bench "$size" "$exe" "$root/tests/harness/wine-run.sh"
