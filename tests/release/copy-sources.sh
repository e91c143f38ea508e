#!/usr/bin/env bash
# Copies the working tree's tracked (and new, not ignored) files of SOURCE_DIR, without
# build/, into DEST, so that uncommitted edits are what a check in the copy sees.
# usage: copy-sources.sh SOURCE_DIR DEST
set -euo pipefail
source_dir=$1 dest=$2
mkdir -p "$dest"
if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
    grep -zv '^build/' | xargs -0 tar -cf - --no-recursion --ignore-failed-read) | tar -xf - -C "$dest"
else
  tar -C "$source_dir" --exclude=./build -cf - . | tar -xf - -C "$dest"
fi
