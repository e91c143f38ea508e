#!/usr/bin/env bash
# Plants one marker-writing DLL as winhttp, bcrypt, dwmapi, oleacc, wintrust, crypt32, version and uxtheme.dll
# beside a program and in its working directory, tells Wine to prefer native copies
# of those names, and checks which got loaded.
#   planting_test.sh <plant.dll> <control.exe> <mode> <program.exe> [close_runner.exe]
# First the control program, which imports these libraries the plain way, must load
# every planted copy: otherwise this environment cannot show planting at all and the
# test fails. Then the program under test must load none.
#   mode probe:     run the program; it must exit with 0.
#   mode installer: run it through close_runner, which closes its window; exit 77
#                   (skipped) when the program never showed its window.
#   mode install:   run the runner (a test program, inside netns-run.sh), which starts
#                   the program from its folder in the planted working directory and
#                   installs through its window; it must exit with 0.
set -euo pipefail
plant=$1 control=$2 mode=$3 program=$4 runner=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
state=${KESTRAVON_HARNESS_STATE:?}
names=(winhttp bcrypt dwmapi oleacc wintrust crypt32 version uxtheme)

work=$(mktemp -d "$state/planting.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/cwd" "$work/markers" "$work/tools"
for name in "${names[@]}"; do
  cp "$plant" "$work/bin/$name.dll"
  cp "$plant" "$work/cwd/$name.dll"
done
cp "$control" "$program" "$work/bin/"
# The runner is test machinery, not under test: it lives and runs away from the plants.
[ -z "$runner" ] || cp "$runner" "$work/tools/"

# Wine maps the Unix root to drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
export KESTRAVON_PLANT_MARKERS
KESTRAVON_PLANT_MARKERS=$(windows_path "$work/markers")
export WINEDLLOVERRIDES="winhttp,bcrypt,dwmapi,oleacc,wintrust,crypt32,version,uxtheme=n,b;mscoree,mshtml="
wine_run() { (cd "$work/cwd" && "$here/../harness/wine-run.sh" "$@"); }
markers() { (cd "$work/markers" && ls -1 2>/dev/null | sort | tr '\n' ' '); }

wine_run "$work/bin/$(basename "$control")" || true
for name in "${names[@]}"; do
  if [ ! -e "$work/markers/$name.dll.loaded" ]; then
    echo "FAIL: the control program did not load the planted $name.dll (markers: $(markers));"
    echo "      this environment cannot show DLL planting, so the test proves nothing"
    exit 1
  fi
done
echo "control program loaded every planted DLL: $(markers)"
rm -f "$work/markers"/*

# Wine's own user32 imports version.dll, and Wine resolves the imports of the
# executable's static dependencies through the executable's folder before any code
# of ours runs; with native preferred it takes the planted copy. Windows' user32 is
# a KnownDLL and imports no version.dll, so for a program that imports user32 the
# override would test Wine, not us: version.dll stays planted, with Wine's default
# order. The probe, which imports no user32, checks version.dll with the override.
# bcrypt.dll likewise during an installation: the installer loads winhttp.dll from
# System32 after SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32), and on its first
# TLS connection Wine's winhttp loads Wine's crypt32, whose import of bcrypt.dll Wine 8
# resolves through the executable's folder; Windows resolves it within System32.
# bcrypt.dll stays planted there, with Wine's default order; the probe and the
# start-and-close run check it with the override. The same holds for crypt32.dll, which
# Wine's winhttp imports for that connection.
if [ "$mode" = installer ]; then
  export WINEDLLOVERRIDES="winhttp,bcrypt,dwmapi,oleacc,wintrust,crypt32,uxtheme=n,b;mscoree,mshtml="
elif [ "$mode" = install ]; then
  export WINEDLLOVERRIDES="winhttp,dwmapi,oleacc,wintrust,uxtheme=n,b;mscoree,mshtml="
fi

status=0
case $mode in
  probe)
    wine_run "$work/bin/$(basename "$program")" || status=$?
    ;;
  installer)
    (cd "$work/tools" && "$here/../harness/wine-run.sh" "$work/tools/$(basename "$runner")" \
      "$(windows_path "$work/bin/$(basename "$program")")" "$(windows_path "$work/cwd")" 30) || status=$?
    ;;
  install)
    (cd "$work/tools" && KESTRAVON_PLANT_INSTALLER="$work/bin/$(basename "$program")" KESTRAVON_PLANT_CWD="$work/cwd" \
      "$here/../harness/wine-run.sh" "$work/tools/$(basename "$runner")") || status=$?
    ;;
  *) echo "unknown mode $mode"; exit 2 ;;
esac

loaded=$(markers)
if [ -n "$loaded" ]; then
  echo "FAIL: $(basename "$program") loaded planted DLLs: $loaded"
  exit 1
fi
echo "$(basename "$program") loaded no planted DLL"
if [ "$mode" = installer ] && [ "$status" -eq 77 ]; then
  echo "SKIP: the installer exited with 0 without showing its window; only its start-up was checked"
  exit 77
fi
if [ "$status" -ne 0 ]; then
  echo "FAIL: $(basename "$program") failed with exit code $status"
  exit 1
fi
