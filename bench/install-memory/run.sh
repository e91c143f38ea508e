#!/usr/bin/env bash
# Peak memory of one whole installation of a 300 MiB setup: InstallWorker on its own thread
# (manifest, verified download, starting the setup) against the loopback test release service.
# Usage: bench/install-memory/run.sh [bytes]   (needs the windows-test build and its prefix)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/windows-test
export KESTRAVON_HARNESS_STATE=$build/harness
size=${1:-314572800}
exe=$build/bench/install-memory/bench_install_memory.exe
[ -f "$exe" ] || { echo "build first: cmake --build --preset windows-test" >&2; exit 1; }
[ -d "$KESTRAVON_HARNESS_STATE/wineprefix" ] || "$root/tests/harness/prepare-prefix.sh"
exec "$root/tests/harness/netns-run.sh" "$root/tests/harness/wine-run.sh" "$exe" "$size" 'C:\KestravonBench'
