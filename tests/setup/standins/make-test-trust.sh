#!/usr/bin/env bash
# Makes, once, the keys and code-signing certificates of the pinned test release in DIR:
#   release.pem, rotated.pem       the two release keys (ECDSA P-256) the pinned tests build in,
#   pinned-keys.pem                as the old and the new key of a rotation: both public halves
#   other-release.pem              another P-256 key, which no build pins
#   code-ca.crt, .key              "Kestravon Test Code CA", whose key the pinned tests pin as the
#   code-ca.spki-sha256            publisher's issuer: SHA-256 of its SubjectPublicKeyInfo, in hex
#   other-code-ca.crt, .key        "Kestravon Other Code CA", pinned nowhere
#   <name>.chain.pem, <name>.key   code signing: the certificate, then its CA, for
#       publisher                  "Kestravon Test Publisher" from the test code CA (pinned)
#       other-publisher            "Kestravon Other Publisher" from the test code CA
#       near-publisher             "Kestravon Test Publishex" from the test code CA
#       other-ca-publisher         "Kestravon Test Publisher" from the other code CA
# Wine 8 does not build the chain to a trusted root, so neither CA needs to be trusted.
# usage: make-test-trust.sh DIR
set -euo pipefail
dir=$1
[ -f "$dir/.ready-2" ] && exit 0
rm -rf "$dir"
mkdir -p "$dir"
cd "$dir"
for key in release rotated other-release; do
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$key.pem" 2>/dev/null
done
for key in release rotated; do openssl pkey -in "$key.pem" -pubout; done >pinned-keys.pem
openssl pkey -in release.pem -pubout -out release.pub.pem

for ca in "code-ca:Kestravon Test Code CA" "other-code-ca:Kestravon Other Code CA"; do
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout "${ca%%:*}.key" -out "${ca%%:*}.crt" \
    -subj "/CN=${ca#*:}" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
done
openssl x509 -in code-ca.crt -noout -pubkey | openssl pkey -pubin -outform DER | openssl dgst -sha256 -r |
  cut -d' ' -f1 >code-ca.spki-sha256
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signing.ext
for cert in "publisher:code-ca:Kestravon Test Publisher" "other-publisher:code-ca:Kestravon Other Publisher" \
    "near-publisher:code-ca:Kestravon Test Publishex" "other-ca-publisher:other-code-ca:Kestravon Test Publisher"; do
  name=${cert%%:*} rest=${cert#*:}
  ca=${rest%%:*} subject=${rest#*:}
  openssl req -new -newkey rsa:2048 -nodes -sha256 -keyout "$name.key" -out "$name.csr" -subj "/CN=$subject" 2>/dev/null
  openssl x509 -req -in "$name.csr" -CA "$ca.crt" -CAkey "$ca.key" -CAcreateserial -days 3650 -sha256 \
    -extfile signing.ext -out "$name.crt" 2>/dev/null
  cat "$name.crt" "$ca.crt" >"$name.chain.pem"
done
touch .ready-2
