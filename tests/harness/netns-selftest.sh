#!/usr/bin/env bash
# Checks netns-run.sh and the test release service with curl: names, ports,
# certificates, resets, the request log, and that the exit code comes back.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

set +e
"$here/netns-run.sh" sh -c 'exit 7'
rc=$?
set -e
[ "$rc" = 7 ] || { echo "exit code not returned: $rc" >&2; exit 1; }

exec "$here/netns-run.sh" bash -c '
  set -euo pipefail
  fail() { echo "FAIL: $*" >&2; exit 1; }
  ca=$KESTRAVON_HARNESS_STATE/certs/ca.pem
  get() { curl -sS --max-time 10 --cacert "$ca" "$@"; }
  for name in kestravon.test www.kestravon.test evil.test; do
    [ "$(getent hosts "$name" | cut -d" " -f1)" = 127.0.0.1 ] || fail "$name does not resolve to 127.0.0.1"
  done
  [ "$(get https://kestravon.test/t/status/200)" = "status 200" ] || fail "443"
  [ "$(get https://www.kestravon.test:8443/t/status/200)" = "status 200" ] || fail "8443"
  [ "$(get https://evil.test/t/status/200)" = "status 200" ] || fail "evil.test certificate"
  [ "$(curl -sS --max-time 10 http://kestravon.test/t/status/200)" = "status 200" ] || fail "80"
  if get -o /dev/null https://kestravon.test:9443/ 2>/dev/null; then fail "9443 certificate was trusted"; fi
  set +e
  get --connect-timeout 1 -o /dev/null https://kestravon.test:9444/ 2>/dev/null
  rc=$?
  set -e
  [ "$rc" = 28 ] || fail "9444 should time out, curl exit $rc"
  [ "$(get -o /dev/null -w "%{http_code}" https://kestravon.test/t/status/404)" = 404 ] || fail "status"
  [ "$(get -o /dev/null -w "%{redirect_url}" "https://kestravon.test/t/redirect?to=https://evil.test/x")" = \
    "https://evil.test/x" ] || fail "redirect"
  [ "$(get -L https://kestravon.test/t/chain?n=3)" = "end of chain" ] || fail "chain"
  size=3000000
  [ "$(get "https://kestravon.test/t/body?size=$size&seed=5" | sha256sum | cut -d" " -f1)" = \
    "$(get "https://kestravon.test/t/sha256?size=$size&seed=5")" ] || fail "body digest"
  [ "$(get "https://kestravon.test/t/body?size=$size&cl=none&te=chunked" | wc -c)" = $size ] || fail "chunked"
  headers=$(get -D - -o /dev/null "https://kestravon.test/t/body?size=10&cl=123abc" 2>/dev/null || true)
  grep -qi "^content-length: 123abc" <<<"$headers" || fail "literal Content-Length"
  set +e
  get -o /dev/null "https://kestravon.test/t/body?size=$size&drop=1000" 2>/dev/null
  rc=$?
  set -e
  [ "$rc" = 56 ] || fail "drop gave curl exit $rc, not a reset (56)"
  echo "{\"url\":\"x\"}" >"$KESTRAVON_SERVICE_DIR/manifest.json"
  [ "$(get https://kestravon.test/api/v1/launcher/installer/windows-x86_64)" = "{\"url\":\"x\"}" ] || fail "manifest"
  sig=https://kestravon.test/api/v1/launcher/installer/windows-x86_64.sig
  [ "$(get -o /dev/null -w "%{http_code}" $sig)" = 404 ] || fail "signature before it exists"
  echo c2lnbmF0dXJl >"$KESTRAVON_SERVICE_DIR/manifest.json.sig"
  [ "$(get $sig)" = c2lnbmF0dXJl ] || fail "signature"
  echo setup >"$KESTRAVON_SERVICE_DIR/files/setup.exe"
  [ "$(get https://kestravon.test/files/setup.exe)" = setup ] || fail "files"
  traversal=https://kestravon.test/files/../../../../../../../../etc/hostname
  [ "$(get --path-as-is -o /dev/null -w "%{http_code}" $traversal)" = 404 ] || fail "traversal"
  grep -q "\"path\": \"/t/chain?n=3\"" "$KESTRAVON_SERVICE_DIR/requests.jsonl" || fail "request log"
  echo "netns-run.sh and the test release service work"
'
