#!/usr/bin/env bash
# The committed icon files are exactly what res/icon/make_icons.py draws, so the
# artwork can only change through the generator.
set -euo pipefail
source_dir=${1:?usage: check_icon_reproducible.sh <source dir> <scratch dir>}
scratch=${2:?}
rm -rf "$scratch"
python3 "$source_dir/res/icon/make_icons.py" "$scratch"
status=0
for file in "$scratch"/*; do
  name=$(basename "$file")
  if ! cmp -s "$file" "$source_dir/res/icon/$name"; then
    echo "FAIL: res/icon/$name differs from what make_icons.py draws"
    status=1
  fi
done
[ "$(ls "$scratch" | wc -l)" -eq 8 ] || { echo "FAIL: expected 7 PNGs and one .ico"; status=1; }
[ $status -eq 0 ] && echo "icon files match the generator"
exit $status
