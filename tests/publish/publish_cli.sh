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
sign() { "$tool" --url "$url" --version 1.2.3 --setup "$work/setup.exe" --out "$work/manifest.json" --serial 7 --sign-key "$@"; }
# Line $1 of the signature file verifies over the manifest with public key $2 (openssl, once re-encoded as DER).
verify_line() {
  local sig hex
  sig=$(sed -n "$1p" "$work/manifest.json.sig")
  [[ "$sig" =~ ^[A-Za-z0-9+/]{86}==$ ]] || { fail "signature line $1 is not 88 base64 characters: $sig"; return; }
  hex=$(base64 -d <<<"$sig" | od -An -tx1 -v | tr -d ' \n')
  printf 'asn1=SEQUENCE:sig\n[sig]\nr=INTEGER:0x%s\ns=INTEGER:0x%s\n' "${hex:0:64}" "${hex:64:64}" >"$work/sig.cnf"
  openssl asn1parse -genconf "$work/sig.cnf" -out "$work/sig.der" >/dev/null
  openssl dgst -sha256 -verify "$2" -signature "$work/sig.der" "$work/manifest.json" >/dev/null ||
    fail "openssl does not verify signature line $1 with ${2##*/}"
}
expires=$(date -u -d '+14 days' +%Y-%m-%dT%H:%M)
expect_exit 0 "signed write" sign "$work/p256.pem"
signed_expected="${expected%$'\n}'},
  \"serial\": 7,
  \"expires\": \"$expires"
[[ "$(cat "$work/manifest.json")" == "$signed_expected":[0-9][0-9]Z\"$'\n}' ]] || fail "signed manifest content: $(cat "$work/manifest.json")"
verify_line 1 "$work/p256.pub.pem"
ls "$work"/*.tmp >/dev/null 2>&1 && fail "temporary file left behind after signing"
expect_exit 1 "signing without a serial" "$tool" --url "$url" --version 1.2.3 --setup "$work/setup.exe" \
  --out "$work/other.json" --sign-key "$work/p256.pem"

# Rotation: one line per key. Re-signing renews the expiry and keeps every other byte.
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$work/new.pem" 2>/dev/null
openssl pkey -in "$work/new.pem" -pubout -out "$work/new.pub.pem"
expect_exit 0 "signed with two keys" sign "$work/p256.pem" --sign-key "$work/new.pem"
[ "$(wc -l <"$work/manifest.json.sig")" -eq 2 ] || fail "two keys, not two signature lines"
verify_line 1 "$work/p256.pub.pem"
verify_line 2 "$work/new.pub.pem"
grep -v expires "$work/manifest.json" >"$work/kept"
cp "$work/manifest.json.sig" "$work/two-lines.sig"
# Re-signing with fewer keys than signed would drop a line that installers may need.
expect_exit 1 "re-sign without a key in use" "$tool" --resign "$work/manifest.json" --sign-key "$work/new.pem"
grep -q "holds signatures by keys not given here" "$work/stderr" || fail "re-sign without a key in use: sentence missing"
cmp -s "$work/manifest.json.sig" "$work/two-lines.sig" || fail "a refused re-sign replaced the signature"
expect_exit 0 "re-sign" "$tool" --resign "$work/manifest.json" --sign-key "$work/new.pem" --expires-in 30 \
  --drop-other-keys
grep -q "\"expires\": \"$(date -u -d '+30 days' +%Y-%m-%dT%H:%M)" "$work/manifest.json" || fail "re-sign: expiry not renewed"
grep -v expires "$work/manifest.json" | cmp -s - "$work/kept" || fail "re-sign changed another member"
[ "$(wc -l <"$work/manifest.json.sig")" -eq 1 ] || fail "re-sign with one key, not one line"
verify_line 1 "$work/new.pub.pem"
# Another key holder adds a line; the manifest keeps every byte, and a key's earlier line is replaced.
cp "$work/manifest.json" "$work/resigned.json"
for run in first again; do
  expect_exit 0 "cosign ($run)" "$tool" --cosign "$work/manifest.json" --sign-key "$work/p256.pem"
done
cmp -s "$work/manifest.json" "$work/resigned.json" || fail "cosign changed the manifest"
[ "$(wc -l <"$work/manifest.json.sig")" -eq 2 ] || fail "cosign twice by one key, not two lines"
verify_line 1 "$work/new.pub.pem"
verify_line 2 "$work/p256.pub.pem"

# The check reads the folder as the service serves it: the setup at the URL's path.
mkdir -p "$work/download"
cp "$work/setup.exe" "$work/download/KestravonSetup-1.2.3.exe"
expect_exit 0 "check" "$tool" --check "$work" --public-key "$work/p256.pub.pem" --public-key "$work/new.pub.pem" --min-serial 7
grep -q "^An installer would install version 1.2.3 (serial 7)" "$work/stdout" || fail "check: $(cat "$work/stdout")"
cat "$work/p256.pub.pem" "$work/new.pub.pem" >"$work/both.pub.pem"
expect_exit 0 "check, both keys must sign" "$tool" --check "$work" --public-key "$work/both.pub.pem" --threshold 2 \
  --min-serial 7
head -n 1 "$work/manifest.json.sig" >"$work/one-line.sig" && cp "$work/manifest.json.sig" "$work/two-lines.sig"
cp "$work/one-line.sig" "$work/manifest.json.sig"
expect_exit 1 "check, one of two keys signed" "$tool" --check "$work" --public-key "$work/both.pub.pem" --threshold 2
grep -q "signature did not match" "$work/stderr" || fail "check, one of two keys signed: $(cat "$work/stderr")"
cp "$work/two-lines.sig" "$work/manifest.json.sig"

cp "$work/manifest.json" "$work/before.json"
cp "$work/manifest.json.sig" "$work/before.sig"
for key in rsa.pem p384.pem missing.pem; do
  expect_exit 1 "key $key" "$tool" --url https://kestravon.test/new.exe --version 2 --setup "$work/setup.exe" \
    --out "$work/manifest.json" --serial 8 --sign-key "$work/$key"
  grep -q "^The signing key" "$work/stderr" || fail "key $key: sentence missing"
  cmp -s "$work/manifest.json" "$work/before.json" && cmp -s "$work/manifest.json.sig" "$work/before.sig" ||
    fail "key $key: the previous manifest or signature changed"
  ls "$work"/*.tmp >/dev/null 2>&1 && fail "key $key: temporary file left behind"
done
expect_exit 1 "unsigned beside a signature" "$tool" --url "$url" --version 2 --setup "$work/setup.exe" --out "$work/manifest.json"
cmp -s "$work/manifest.json" "$work/before.json" || fail "unsigned manifest replaced a signed one"
expect_exit 2 "signing without --out" "$tool" --url "$url" --version 1 --setup "$work/setup.exe" --sign-key "$work/p256.pem"
expect_exit 2 "two modes" "$tool" --resign "$work/manifest.json" --check "$work" --sign-key "$work/p256.pem"
# More lines than an installer reads: refused before anything is written, in either mode.
five=(--sign-key "$work/p256.pem" --sign-key "$work/new.pem" --sign-key "$work/p256.pem" --sign-key "$work/new.pem"
  --sign-key "$work/p256.pem")
expect_exit 2 "five keys" "$tool" --url "$url" --version 2 --setup "$work/setup.exe" --out "$work/manifest.json" \
  --serial 8 "${five[@]}"
expect_exit 2 "re-sign with five keys" "$tool" --resign "$work/manifest.json" "${five[@]}"
cmp -s "$work/manifest.json" "$work/before.json" && cmp -s "$work/manifest.json.sig" "$work/before.sig" ||
  fail "five keys: the previous manifest or signature changed"

[ "$failures" -eq 0 ] && echo "kestravon-publish: all checks passed"
exit "$failures"
