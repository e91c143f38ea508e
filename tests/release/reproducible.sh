#!/usr/bin/env bash
# Builds KestravonInstaller.exe (windows preset) from two clean copies of the tracked
# sources in differently named folders, at different times, and requires the two
# executables to be identical byte for byte.
# usage: reproducible.sh SOURCE_DIR [WORK_DIR]
set -euo pipefail
source_dir=$(cd "${1:?usage: reproducible.sh SOURCE_DIR [WORK_DIR]}" && pwd)
work=${2:-$(mktemp -d /tmp/kestravon-repro.XXXXXX)}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

here=$(cd "$(dirname "$0")" && pwd)
copy_sources() { "$here/copy-sources.sh" "$source_dir" "$1"; }

build() {
  local dir=$1
  copy_sources "$dir"
  (cd "$dir" && cmake --preset windows >/dev/null &&
    cmake --build --preset windows --target KestravonInstaller -j 2 >/dev/null)
}

first=$work/one/src
second=$work/a-longer-folder-name/second-copy
build "$first"
sleep 1  # a different second, so a stray time stamp shows
build "$second"

a=$first/build/windows/app/KestravonInstaller.exe
b=$second/build/windows/app/KestravonInstaller.exe
# Neither the source nor the build folder may leak into the binary.
for exe in "$a" "$b"; do
  if grep -qaF "$work" "$exe"; then
    echo "$exe contains its build folder path" >&2
    exit 1
  fi
done
if cmp "$a" "$b"; then
  echo "identical: $(sha256sum "$a" | cut -d' ' -f1) ($(stat -c %s "$a") bytes)"
else
  echo "KestravonInstaller.exe differs between the two builds" >&2
  cmp -l "$a" "$b" | head -20 >&2
  exit 1
fi
