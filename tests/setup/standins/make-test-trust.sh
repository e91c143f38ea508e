#!/usr/bin/env bash
# Makes, once, the keys and code-signing certificates of the pinned test release in DIR:
#   release.pem, release.pub.pem   the release key (ECDSA P-256) the pinned tests build in
#   other-release.pem              another P-256 key, which no build pins
#   publisher.crt, publisher.key   code signing, CN "Kestravon Test Publisher" (pinned)
#   other-publisher.crt, .key      code signing, CN "Kestravon Other Publisher"
# The certificates are self-signed: Wine 8 does not build the chain to a trusted root.
# usage: make-test-trust.sh DIR
set -euo pipefail
dir=$1
[ -f "$dir/.ready" ] && exit 0
mkdir -p "$dir"
for key in release other-release; do
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$dir/$key.pem" 2>/dev/null
done
openssl pkey -in "$dir/release.pem" -pubout -out "$dir/release.pub.pem"
for cert in "publisher:Kestravon Test Publisher" "other-publisher:Kestravon Other Publisher"; do
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout "$dir/${cert%%:*}.key" \
    -out "$dir/${cert%%:*}.crt" -subj "/CN=${cert#*:}" -addext "keyUsage=critical,digitalSignature" \
    -addext "extendedKeyUsage=codeSigning" 2>/dev/null
done
touch "$dir/.ready"
