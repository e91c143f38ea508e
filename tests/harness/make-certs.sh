#!/usr/bin/env bash
# Makes the test certificates once into $KESTRAVON_HARNESS_STATE/certs: a CA that
# only the test Wine prefix trusts, a second CA that nobody trusts, a server
# certificate from each for kestravon.test, www.kestravon.test and evil.test (the first
# also for the release host kestravon.com and www.kestravon.com), and a time-stamping
# certificate from the first for the service's time-stamp authority.
set -euo pipefail
state=${KESTRAVON_HARNESS_STATE:?}
dir=$state/certs
mkdir -p "$dir"
exec 8>"$dir/.lock"
flock 8
[ -f "$dir/.ready" ] && [ -f "$dir/tsa.pem" ] && [ -f "$dir/.release-host" ] && exit 0

names="DNS:kestravon.test,DNS:www.kestravon.test,DNS:evil.test"
release_names="DNS:kestravon.com,DNS:www.kestravon.com"
work=$(mktemp -d "$dir/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT

make_ca() {  # name, subject
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
    -keyout "$work/$1.key" -out "$work/$1.pem" -subj "/CN=$2" \
    -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
make_server() {  # name, issuing CA[, more names]
  openssl req -new -newkey rsa:2048 -nodes -sha256 \
    -keyout "$work/$1.key" -out "$work/$1.csr" -subj "/CN=kestravon.test" 2>/dev/null
  cat >"$work/$1.ext" <<EOF
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=$names${3:+,$3}
EOF
  openssl x509 -req -in "$work/$1.csr" -CA "$work/$2.pem" -CAkey "$work/$2.key" \
    -CAcreateserial -days 825 -sha256 -extfile "$work/$1.ext" -out "$work/$1.pem" 2>/dev/null
  # Serve the chain so a client only needs the root.
  cat "$work/$2.pem" >>"$work/$1.pem"
}

if [ ! -f "$dir/.ready" ]; then
  make_ca ca "Kestravon Test Root CA"
  make_ca rogue-ca "Kestravon Untrusted Test CA"
  make_server server ca "$release_names"
  make_server rogue rogue-ca
  openssl x509 -in "$work/ca.pem" -outform DER -out "$work/ca.der"
  cp "$work"/{ca.pem,ca.der,ca.key,rogue-ca.pem,server.pem,server.key,rogue.pem,rogue.key} "$dir/"
  touch "$dir/.ready" "$dir/.release-host"
fi
# Older state folders: the server certificate again, from the CA already trusted, with the
# release host's names too.
if [ ! -f "$dir/.release-host" ]; then
  cp "$dir/ca.pem" "$dir/ca.key" "$work/"
  make_server server ca "$release_names"
  cp "$work/server.key" "$work/server.pem" "$dir/"
  touch "$dir/.release-host"
fi
# Made apart, from the CA already trusted, so that older state folders gain it too.
openssl req -new -newkey rsa:2048 -nodes -sha256 -keyout "$work/tsa.key" -out "$work/tsa.csr" \
  -subj "/CN=Kestravon Test Time-Stamp Authority" 2>/dev/null
printf '%s\n' basicConstraints=critical,CA:FALSE keyUsage=critical,digitalSignature \
  extendedKeyUsage=critical,timeStamping >"$work/tsa.ext"
openssl x509 -req -in "$work/tsa.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAserial "$work/ca.srl" -CAcreateserial \
  -days 3650 -sha256 -extfile "$work/tsa.ext" -out "$work/tsa.pem" 2>/dev/null
cp "$work"/tsa.key "$dir/"
cp "$work"/tsa.pem "$dir/"  # last: its presence says the set is complete
echo "Test certificates made in $dir"
