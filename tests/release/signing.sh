#!/usr/bin/env bash
# Signs a copy of KestravonInstaller.exe with a throwaway self-signed code-signing
# certificate through tools/publish/sign.sh, then checks that the signature verifies
# against that certificate and fails against another one or after tampering, and that it
# carries a time stamp from the test release service's authority (inside netns-run.sh)
# unless one is explicitly refused.
# usage: signing.sh SOURCE_DIR EXE
set -euo pipefail
source_dir=$1 exe=$2
work=$(mktemp -d /tmp/kestravon-sign.XXXXXX)
trap 'rm -rf "$work"' EXIT
sign=$source_dir/tools/publish/sign.sh
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

make_cert() {  # name [password]
  local pass=(-nodes)
  [ -n "${2:-}" ] && pass=(-passout "pass:$2")
  openssl req -x509 -newkey rsa:2048 "${pass[@]}" -keyout "$work/$1.key" -out "$work/$1.crt" \
    -days 2 -subj "/CN=Kestravon Test Signing $1" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
}
make_cert plain
make_cert other
make_cert locked "correct horse"
printf 'correct horse' >"$work/locked.pass"
cp "$exe" "$work/unsigned.exe"

# Signed with a key without password, verified against the signing certificate.
if "$sign" --no-timestamp --cert "$work/plain.crt" --key "$work/plain.key" --ca "$work/plain.crt" \
    "$work/unsigned.exe" "$work/signed.exe" >/dev/null 2>&1; then
  osslsigncode verify -in "$work/signed.exe" -CAfile "$work/plain.crt" >/dev/null 2>&1 \
    || fail "signed copy does not verify on its own"
  cmp -s "$work/unsigned.exe" "$exe" || fail "the input was modified"
else
  fail "signing with a plain key failed"
fi

# A password-protected key, the password read from a file.
"$sign" --no-timestamp --cert "$work/locked.crt" --key "$work/locked.key" --pass-file "$work/locked.pass" \
  --ca "$work/locked.crt" "$work/unsigned.exe" "$work/signed-locked.exe" >/dev/null 2>&1 \
  || fail "signing with a password file failed"

# A wrong password signs nothing and leaves no output.
printf 'wrong' >"$work/wrong.pass"
if "$sign" --no-timestamp --cert "$work/locked.crt" --key "$work/locked.key" --pass-file "$work/wrong.pass" \
    "$work/unsigned.exe" "$work/signed-wrong.exe" >/dev/null 2>&1; then
  fail "a wrong password was accepted"
fi
[ -e "$work/signed-wrong.exe" ] && fail "output written although signing failed"

# Trusting another certificate: verification fails and sign.sh writes no output.
if "$sign" --no-timestamp --cert "$work/plain.crt" --key "$work/plain.key" --ca "$work/other.crt" \
    "$work/unsigned.exe" "$work/signed-untrusted.exe" >/dev/null 2>&1; then
  fail "verified against a certificate that did not sign"
fi
[ -e "$work/signed-untrusted.exe" ] && fail "output written although verification failed"

# Tampering: one byte changed inside the signed code no longer verifies.
if [ -f "$work/signed.exe" ]; then
  cp "$work/signed.exe" "$work/tampered.exe"
  offset=$(( $(stat -c %s "$exe") / 2 ))
  byte=$(od -An -tu1 -j "$offset" -N1 "$work/tampered.exe" | tr -d ' ')
  printf "$(printf '\\%03o' $(( (byte + 1) % 256 )))" | dd of="$work/tampered.exe" bs=1 seek="$offset" conv=notrunc 2>/dev/null
  if osslsigncode verify -in "$work/tampered.exe" -CAfile "$work/plain.crt" >/dev/null 2>&1; then
    fail "a tampered file still verifies"
  fi
fi

# Without a time-stamp choice nothing is signed; without a time stamp a warning says so.
if "$sign" --cert "$work/plain.crt" --key "$work/plain.key" "$work/unsigned.exe" "$work/no-choice.exe" 2>/dev/null; then
  fail "signed without --timestamp or --no-timestamp"
fi
[ -e "$work/no-choice.exe" ] && fail "output written without a time-stamp choice"
"$sign" --no-timestamp --cert "$work/plain.crt" --key "$work/plain.key" --ca "$work/plain.crt" \
  "$work/unsigned.exe" "$work/bare.exe" \
  2>"$work/bare.err" >/dev/null || fail "signing with --no-timestamp failed"
grep -q "warning: .* without a time stamp" "$work/bare.err" || fail "no warning for a signature without a time stamp"

# Time-stamped by the test authority (RFC 3161), which chains to the test root CA.
tsa=http://kestravon.test/t/tsa
certs=${KESTRAVON_HARNESS_STATE:-}/certs
if [ -n "${KESTRAVON_SERVICE_DIR:-}" ]; then
  cat "$work/plain.crt" "$certs/ca.pem" >"$work/trusted.pem"
  "$sign" --timestamp "$tsa" --cert "$work/plain.crt" --key "$work/plain.key" --ca "$work/trusted.pem" \
    "$work/unsigned.exe" "$work/stamped.exe" >/dev/null || fail "signing with a time stamp failed"
  osslsigncode verify -in "$work/stamped.exe" -CAfile "$work/trusted.pem" -TSA-CAfile "$certs/ca.pem" >"$work/stamped.log" 2>&1
  grep -q "^Timestamp Server Signature verification: ok" "$work/stamped.log" || fail "the signed file carries no valid time stamp"
  grep -q '"method": "POST", "path": "/t/tsa"' "$KESTRAVON_SERVICE_DIR/requests.jsonl" || fail "the authority was not asked"
  osslsigncode verify -in "$work/bare.exe" -CAfile "$work/plain.crt" 2>&1 | grep -q "^Timestamp is not available" ||
    fail "a signature made with --no-timestamp carries a time stamp"
else
  fail "run through tests/harness/netns-run.sh: the time-stamp authority is the test release service's"
fi

[ "$failures" -eq 0 ] && echo "signing: all checks passed"
exit "$failures"
