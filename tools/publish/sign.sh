#!/usr/bin/env bash
# Authenticode-signs an executable with osslsigncode (SHA-256), time-stamped by an RFC 3161
# authority, and verifies the result.
# usage: sign.sh --cert CERT --key KEY (--timestamp URL | --no-timestamp) [--pass-file FILE]
#                [--ca CAFILE] [--name TEXT] IN OUT
# CERT may hold the signing certificate followed by its intermediates. OUT is written only
# when signing and verification both succeed. TEXT is the program description Windows shows
# with the signature (default "Kestravon Installer"). Without a time stamp the signature
# stops being valid the day the certificate expires.
set -euo pipefail
usage="usage: sign.sh --cert CERT --key KEY (--timestamp URL | --no-timestamp) [--pass-file FILE] [--ca CAFILE] [--name TEXT] IN OUT"
cert= key= pass_file= ca= timestamp= no_timestamp= name="Kestravon Installer"
while [ $# -gt 2 ]; do
  case "$1" in
    --cert) cert=$2; shift 2 ;;
    --key) key=$2; shift 2 ;;
    --pass-file) pass_file=$2; shift 2 ;;
    --ca) ca=$2; shift 2 ;;
    --timestamp) timestamp=$2; shift 2 ;;
    --no-timestamp) no_timestamp=1; shift ;;
    --name) name=$2; shift 2 ;;
    *) echo "sign.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
[ $# -eq 2 ] && [ -n "$cert" ] && [ -n "$key" ] || { echo "$usage" >&2; exit 2; }
if [ -z "$timestamp" ] && [ -z "$no_timestamp" ]; then
  echo "sign.sh: give --timestamp URL (an RFC 3161 time-stamp authority), or --no-timestamp to sign without one" >&2
  exit 2
fi
[ -n "$timestamp" ] && [ -n "$no_timestamp" ] && { echo "sign.sh: --timestamp and --no-timestamp exclude each other" >&2; exit 2; }
in=$1 out=$2
tmp=$out.signing
rm -f "$tmp"
trap 'rm -f "$tmp" "$tmp.log"' EXIT

args=(sign -certs "$cert" -key "$key" -h sha256 -n "$name")
# The password is read from a file so it never shows on a command line.
[ -n "$pass_file" ] && args+=(-readpass "$pass_file")
if [ -n "$timestamp" ]; then
  args+=(-ts "$timestamp")
else
  echo "sign.sh: warning: $out is signed without a time stamp; its signature fails once the certificate expires" >&2
fi
osslsigncode "${args[@]}" -in "$in" -out "$tmp" >/dev/null

verify=(verify -in "$tmp")
[ -n "$ca" ] && verify+=(-CAfile "$ca")
# The time stamp's signature is checked against the same certificates.
[ -n "$ca" ] && [ -n "$timestamp" ] && verify+=(-TSA-CAfile "$ca")
if ! osslsigncode "${verify[@]}" >"$tmp.log" 2>&1; then
  cat "$tmp.log" >&2
  echo "sign.sh: the signature of $out does not verify" >&2
  exit 1
fi
if [ -n "$timestamp" ] && ! grep -q "^Timestamp Server Signature verification: ok" "$tmp.log"; then
  cat "$tmp.log" >&2
  echo "sign.sh: the time stamp of $out does not verify" >&2
  exit 1
fi
chmod +x "$tmp"
mv "$tmp" "$out"
echo "signed and verified: $out${timestamp:+ (time-stamped)}"
