#!/usr/bin/env bash
# scripts/check_layers.py passes on the sources and fails on a planted upward include.
set -euo pipefail
source_dir=$1
check=$source_dir/scripts/check_layers.py
python3 "$check" "$source_dir"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/net" "$tree/setup"
printf '#include "net/https.h"\n#include "common/owners.h"\n' >"$tree/net/fine.cpp"
printf '#include "net/https.h"\n' >"$tree/setup/sideways.cpp"
printf '#include "pipeline/messages.h"\n' >"$tree/net/upward.cpp"
if output=$(python3 "$check" "$tree"); then
  echo "an upward include passed the check" >&2
  exit 1
fi
[ "$(grep -c 'may not include' <<<"$output")" -eq 2 ] || { echo "$output" >&2; exit 1; }
echo "layers: ok"
