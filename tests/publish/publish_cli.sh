#!/usr/bin/env bash
# Runs kestravon-publish end to end: digest and size of a real file, the signature
# checked with openssl, exit codes, and that a refused run never replaces the
# previous manifest or signature.
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

# Signing: openssl verifies the 64-byte r‖s once it is re-encoded as DER.
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$work/p256.pem" 2>/dev/null
openssl pkey -in "$work/p256.pem" -pubout -out "$work/p256.pub.pem"
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 -out "$work/p384.pem" 2>/dev/null
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/rsa.pem" 2>/dev/null
sign() { "$tool" --url "$url" --version 1.2.3 --setup "$work/setup.exe" --out "$work/manifest.json" --sign-key "$@"; }
expect_exit 0 "signed write" sign "$work/p256.pem"
[ "$(cat "$work/manifest.json")" = "$expected" ] || fail "signed manifest content differs"
sig=$(cat "$work/manifest.json.sig")
[[ "$sig" =~ ^[A-Za-z0-9+/]{86}==$ ]] || fail "signature is not 88 base64 characters: $sig"
hex=$(base64 -d <<<"$sig" | od -An -tx1 -v | tr -d ' \n')
[ ${#hex} -eq 128 ] || fail "signature decodes to $((${#hex} / 2)) bytes, not 64"
printf 'asn1=SEQUENCE:sig\n[sig]\nr=INTEGER:0x%s\ns=INTEGER:0x%s\n' "${hex:0:64}" "${hex:64:64}" >"$work/sig.cnf"
openssl asn1parse -genconf "$work/sig.cnf" -out "$work/sig.der" >/dev/null
openssl dgst -sha256 -verify "$work/p256.pub.pem" -signature "$work/sig.der" "$work/manifest.json" >/dev/null ||
  fail "openssl does not verify the signature"
ls "$work"/*.tmp >/dev/null 2>&1 && fail "temporary file left behind after signing"

cp "$work/manifest.json.sig" "$work/before.sig"
for key in rsa.pem p384.pem missing.pem; do
  expect_exit 1 "key $key" "$tool" --url https://kestravon.test/new.exe --version 2 --setup "$work/setup.exe" \
    --out "$work/manifest.json" --sign-key "$work/$key"
  grep -q "^The signing key" "$work/stderr" || fail "key $key: sentence missing"
  cmp -s "$work/manifest.json" "$work/before.json" && cmp -s "$work/manifest.json.sig" "$work/before.sig" ||
    fail "key $key: the previous manifest or signature changed"
  ls "$work"/*.tmp >/dev/null 2>&1 && fail "key $key: temporary file left behind"
done
expect_exit 1 "unsigned beside a signature" "$tool" --url "$url" --version 2 --setup "$work/setup.exe" --out "$work/manifest.json"
cmp -s "$work/manifest.json" "$work/before.json" || fail "unsigned manifest replaced a signed one"
expect_exit 2 "signing without --out" "$tool" --url "$url" --version 1 --setup "$work/setup.exe" --sign-key "$work/p256.pem"

[ "$failures" -eq 0 ] && echo "kestravon-publish: all checks passed"
exit "$failures"
