#!/usr/bin/env bash
# Checks the static import tables: every DLL the loader binds before our first
# instruction must be a KnownDLL (or an API set), which Windows only ever takes from
# System32; the libraries it is given may appear only as delay-load imports, and
# every delay-loaded library must be one that the failure hook has rules for.
#   import_table_test.sh <delay-loaded names, comma-separated> <KestravonInstaller.exe> <probe.exe>
# The probe, linked the installer's way, uses every one of them, so it also shows
# that the delay-load scan sees them at all.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
objdump=${KESTRAVON_OBJDUMP:-x86_64-w64-mingw32-objdump}
IFS=, read -r -a delayed <<<"$1"
shift
known=" kernel32.dll ntdll.dll user32.dll gdi32.dll advapi32.dll ole32.dll oleaut32.dll combase.dll
  shell32.dll shlwapi.dll shcore.dll msvcrt.dll comdlg32.dll imm32.dll ws2_32.dll rpcrt4.dll
  sechost.dll psapi.dll "
failures=0

static_imports() { "$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u; }
delay_imports() { python3 "$here/delay_imports.py" "$1" | cut -d' ' -f1 | sort -u; }

check() {
  local exe=$1 name
  name=$(basename "$exe")
  local statics delays
  statics=$(static_imports "$exe")
  delays=$(delay_imports "$exe")
  echo "$name static imports: $(echo $statics)"
  echo "$name delay imports:  $(echo $delays)"
  [ -n "$statics" ] || { echo "FAIL: $name: no static imports found"; failures=$((failures + 1)); }
  for dll in $statics; do
    if [[ $dll != api-ms-win-* && $known != *" $dll "* ]]; then
      echo "FAIL: $name statically imports $dll, which is not a KnownDLL"
      failures=$((failures + 1))
    fi
  done
  for dll in $delays; do
    if [[ " ${delayed[*]/%/.dll} " != *" $dll "* ]]; then
      echo "FAIL: $name delay-loads $dll, for which the failure hook has no rules"
      failures=$((failures + 1))
    fi
  done
}

check "$1"
check "$2"
for lib in "${delayed[@]}"; do
  if ! grep -qx "$lib.dll" <<<"$(delay_imports "$2")"; then
    echo "FAIL: $(basename "$2") uses $lib.dll but does not delay-load it"
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] || exit 1
echo "import tables are safe"
