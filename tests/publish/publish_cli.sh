#!/usr/bin/env bash
# Runs kestravon-publish end to end: digest and size of a real file, exit codes, and
# that a refused manifest never replaces the previous one.
# usage: publish_cli.sh TOOL   (built for the service host kestravon.test)
set -uo pipefail
tool=$1
work=$(mktemp -d /tmp/kestravon-publish.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_exit() {  # code description command...
  local want=$1 what=$2; shift 2
  "$@" >"$work/stdout" 2>"$work/stderr"
  local got=$?
  [ "$got" -eq "$want" ] || fail "$what: exit $got, expected $want ($(cat "$work/stderr"))"
}

head -c 200000 /dev/urandom >"$work/setup.exe"
digest=$(sha256sum "$work/setup.exe" | cut -d' ' -f1)
url=https://kestravon.test/download/KestravonSetup-1.2.3.exe

expect_exit 0 "write" "$tool" --url "$url" --version 1.2.3 --setup "$work/setup.exe" --out "$work/manifest.json"
expected=$(printf '{\n  "url": "%s",\n  "sha256": "%s",\n  "version": "1.2.3",\n  "size": 200000\n}' "$url" "$digest")
[ "$(cat "$work/manifest.json" 2>/dev/null)" = "$expected" ] || fail "manifest content: $(cat "$work/manifest.json" 2>/dev/null)"
[ -e "$work/manifest.json.tmp" ] && fail "temporary file left behind"

expect_exit 0 "stdout" "$tool" --url "$url" --version 1.2.3 --setup "$work/setup.exe"
[ "$(cat "$work/stdout")" = "$expected" ] || fail "stdout content differs from the file"

cp "$work/manifest.json" "$work/before.json"
expect_exit 1 "foreign host" "$tool" --url https://evil.test/s.exe --version 1.2.3 --setup "$work/setup.exe" --out "$work/manifest.json"
grep -q "must be https on kestravon.test" "$work/stderr" || fail "foreign host: sentence missing"
cmp -s "$work/manifest.json" "$work/before.json" || fail "a refused manifest replaced the previous one"

: >"$work/empty.exe"
expect_exit 1 "empty setup" "$tool" --url "$url" --version 1.2.3 --setup "$work/empty.exe" --out "$work/new.json"
[ -e "$work/new.json" ] && fail "empty setup: manifest written"
expect_exit 1 "missing setup" "$tool" --url "$url" --version 1.2.3 --setup "$work/missing.exe"
expect_exit 2 "no version" "$tool" --url "$url" --setup "$work/setup.exe"
expect_exit 2 "unknown option" "$tool" --url "$url" --version 1 --setup "$work/setup.exe" --force yes
expect_exit 2 "option without value" "$tool" --url "$url" --version 1 --setup

[ "$failures" -eq 0 ] && echo "kestravon-publish: all checks passed"
exit "$failures"
