#!/usr/bin/env bash
# Signs a copy of KestravonInstaller.exe with a throwaway self-signed code-signing
# certificate through tools/publish/sign.sh, then checks that the signature verifies
# against that certificate and fails against another one or after tampering.
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
if "$sign" --cert "$work/plain.crt" --key "$work/plain.key" --ca "$work/plain.crt" \
    "$work/unsigned.exe" "$work/signed.exe" >/dev/null; then
  osslsigncode verify -in "$work/signed.exe" -CAfile "$work/plain.crt" >/dev/null 2>&1 \
    || fail "signed copy does not verify on its own"
  cmp -s "$work/unsigned.exe" "$exe" || fail "the input was modified"
else
  fail "signing with a plain key failed"
fi

# A password-protected key, the password read from a file.
"$sign" --cert "$work/locked.crt" --key "$work/locked.key" --pass-file "$work/locked.pass" \
  --ca "$work/locked.crt" "$work/unsigned.exe" "$work/signed-locked.exe" >/dev/null \
  || fail "signing with a password file failed"

# A wrong password signs nothing and leaves no output.
printf 'wrong' >"$work/wrong.pass"
if "$sign" --cert "$work/locked.crt" --key "$work/locked.key" --pass-file "$work/wrong.pass" \
    "$work/unsigned.exe" "$work/signed-wrong.exe" >/dev/null 2>&1; then
  fail "a wrong password was accepted"
fi
[ -e "$work/signed-wrong.exe" ] && fail "output written although signing failed"

# Trusting another certificate: verification fails and sign.sh writes no output.
if "$sign" --cert "$work/plain.crt" --key "$work/plain.key" --ca "$work/other.crt" \
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

[ "$failures" -eq 0 ] && echo "signing: all checks passed"
exit "$failures"
