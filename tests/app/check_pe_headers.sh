#!/usr/bin/env bash
# Checks the built installer's PE headers: PE32+, GUI subsystem, x86-64, and only
# Windows system DLLs imported (the C++ runtime and threads are linked in statically).
set -euo pipefail
exe=${1:?usage: check_pe_headers.sh KestravonInstaller.exe}
objdump=$(command -v x86_64-w64-mingw32-objdump)
headers=$("$objdump" -p "$exe")
fail() { echo "FAIL: $*"; exit 1; }

grep -q "file format pei-x86-64" <<<"$headers" || fail "not an x86-64 PE image"
grep -Eq "^Magic[[:space:]]+020b[[:space:]]+\(PE32\+\)" <<<"$headers" || fail "not PE32+"
grep -Eq "^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)" <<<"$headers" || fail "not a GUI subsystem image"

allowed="advapi32 bcrypt comctl32 crypt32 dwmapi gdi32 kernel32 msvcrt ole32 oleaut32 shell32 shlwapi user32 version winhttp ws2_32"
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sed 's/\.dll$//' | sort -u)
[ -n "$imports" ] || fail "no imports found"
for dll in $imports; do
  case " $allowed " in
    *" $dll "*) ;;
    *) case "$dll" in api-ms-win-*) ;; *) fail "imports $dll.dll, which is not a Windows system DLL" ;; esac ;;
  esac
done
echo "PE32+ GUI x86-64; imports: $(echo $imports)"
