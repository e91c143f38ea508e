#!/usr/bin/env bash
# Authenticode-signs an executable with osslsigncode (SHA-256) and verifies the result.
# usage: sign.sh --cert CERT --key KEY [--pass-file FILE] [--ca CAFILE] [--timestamp URL] [--name TEXT] IN OUT
# OUT is written only when signing and verification both succeed. TEXT is the program
# description Windows shows with the signature (default "Kestravon Installer").
set -euo pipefail
cert= key= pass_file= ca= timestamp= name="Kestravon Installer"
while [ $# -gt 2 ]; do
  case "$1" in
    --cert) cert=$2; shift 2 ;;
    --key) key=$2; shift 2 ;;
    --pass-file) pass_file=$2; shift 2 ;;
    --ca) ca=$2; shift 2 ;;
    --timestamp) timestamp=$2; shift 2 ;;
    --name) name=$2; shift 2 ;;
    *) echo "sign.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
[ $# -eq 2 ] && [ -n "$cert" ] && [ -n "$key" ] || {
  echo "usage: sign.sh --cert CERT --key KEY [--pass-file FILE] [--ca CAFILE] [--timestamp URL] [--name TEXT] IN OUT" >&2
  exit 2
}
in=$1 out=$2
tmp=$out.signing
rm -f "$tmp"
trap 'rm -f "$tmp"' EXIT

args=(sign -certs "$cert" -key "$key" -h sha256 -n "$name")
# The password is read from a file so it never shows on a command line.
[ -n "$pass_file" ] && args+=(-readpass "$pass_file")
[ -n "$timestamp" ] && args+=(-ts "$timestamp")
osslsigncode "${args[@]}" -in "$in" -out "$tmp" >/dev/null

verify=(verify -in "$tmp")
[ -n "$ca" ] && verify+=(-CAfile "$ca")
if ! osslsigncode "${verify[@]}" >"$tmp.log" 2>&1; then
  cat "$tmp.log" >&2
  rm -f "$tmp.log"
  echo "sign.sh: the signature of $out does not verify" >&2
  exit 1
fi
rm -f "$tmp.log"
chmod +x "$tmp"
mv "$tmp" "$out"
echo "signed and verified: $out"
