#!/usr/bin/env bash
# Static analysis: the include layers (scripts/check_layers.py), then clang-tidy with the
# checks in .clang-tidy over the project's own sources (not GoogleTest, not generated
# files). Windows code and tests are analysed with the compile commands of the clang
# MinGW tree, host-only code with those of the native and fuzz trees. Prints each
# finding and exits non-zero if there is one.
#   scripts/lint.sh [file...]   (all files by default)
set -euo pipefail
wanted=()
for name in "$@"; do wanted+=("$(realpath "$name")"); done
cd "$(dirname "$0")/.."
root=$PWD
# Includes follow the layers; cheap, so it runs first and on every call.
python3 scripts/check_layers.py "$root"
jobs=${KESTRAVON_LINT_JOBS:-$(nproc)}
tidy=$(command -v clang-tidy-14 || command -v clang-tidy || true)
if [ -z "$tidy" ]; then
  echo "clang-tidy not found: apt-get install clang-tidy" >&2
  exit 1
fi

# Compile commands only need a configured tree; the first tree naming a file wins.
trees=(windows-clang native fuzz)
for preset in "${trees[@]}"; do
  [ -f "build/$preset/compile_commands.json" ] || cmake --preset "$preset" >/dev/null
done
mkdir -p build/lint
python3 - "$root" "${trees[@]}" >build/lint/compile_commands.json <<'PY'
import json, os, sys
root, trees = sys.argv[1], sys.argv[2:]
seen, merged = set(), []
for tree in trees:
    for entry in json.load(open(os.path.join(root, "build", tree, "compile_commands.json"))):
        path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
        relative = os.path.relpath(path, root)
        if relative.startswith(("..", "build" + os.sep)) or not relative.endswith((".cpp", ".c")):
            continue
        if path not in seen:
            seen.add(path)
            merged.append(dict(entry, file=path))
json.dump(merged, sys.stdout, indent=1)
PY
python3 - build/lint/compile_commands.json ${wanted[@]+"${wanted[@]}"} >build/lint/files <<'PY'
import json, sys
files = [entry["file"] for entry in json.load(open(sys.argv[1]))]
wanted = set(sys.argv[2:])
missing = wanted - set(files)
if missing:
    sys.exit("not in any compile database: " + " ".join(sorted(missing)))
print("\n".join(name for name in files if not wanted or name in wanted))
PY

count=$(wc -l <build/lint/files)
echo "clang-tidy: $count files, $jobs jobs"
# One report per file, so that parallel runs do not interleave their lines.
rm -rf build/lint/reports
mkdir -p build/lint/reports
status=0
xargs -P "$jobs" -I{} sh -c '"$0" -p build/lint --quiet "$1" >"build/lint/reports/$(echo "$1" | tr / _).txt" 2>&1' \
  "$tidy" {} <build/lint/files || status=$?
if [ "$status" -ne 0 ]; then
  cat build/lint/reports/*.txt | grep -v -E '^[0-9]+ (warning|error)s? (generated|treated as errors)\.$' >&2 || true
  echo "clang-tidy: findings above (checks in .clang-tidy)" >&2
  exit 1
fi
echo "clang-tidy: no findings"
