#!/usr/bin/env bash
# Runs one fuzz target for a bounded time: seeds are copied to a scratch corpus so
# the committed seeds never change; a crash fails the test and keeps its input.
set -euo pipefail
target=$1 seeds=$2 work=$3 seconds=$4
rm -rf "$work"
mkdir -p "$work"
cp -r "$seeds"/. "$work"/
cd "$(dirname "$work")"
exec "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$work"
