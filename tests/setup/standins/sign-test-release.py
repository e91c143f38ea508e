#!/usr/bin/env python3
"""Writes the signed test release of SETUP into OUT as kestravon-publish would, with the keys
of TRUST (make-test-trust.sh). Each manifest names URL with the setup's SHA-256 and size;
each NAME.json has NAME.json.sig beside it, the base64 of the 64-byte r||s over SHA-256 of
the manifest by the release key (openssl), one line:
    manifest.json     serial 5, expires 2099-12-31T23:59:59Z: what the pinned tests accept;
                      also signed by the rotated key (manifest.json.rotated.sig) and by a
                      key no build pins (manifest.json.other.sig)
    expired.json, no-expires.json, bad-expires.json (30 February), old-serial.json (4),
    no-serial.json    the same release, refused for its age
    sign-test-release.py SETUP URL TRUST OUT"""
import base64
import hashlib
import pathlib
import subprocess
import sys


def sign(key, path):
    der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key, path], check=True, capture_output=True).stdout
    # SEQUENCE { INTEGER r, INTEGER s }, short lengths for P-256: each number padded to 32 bytes.
    r_length = der[3]
    r = int.from_bytes(der[4:4 + r_length], "big")
    s = int.from_bytes(der[6 + r_length:], "big")
    return base64.b64encode(r.to_bytes(32, "big") + s.to_bytes(32, "big")).decode() + "\n"


setup, url, trust, out = sys.argv[1:]
data = pathlib.Path(setup).read_bytes()
trust = pathlib.Path(trust)
out = pathlib.Path(out)
out.mkdir(parents=True, exist_ok=True)
release = '"url": "%s", "sha256": "%s", "version": "1.0.0", "size": %d' % (url, hashlib.sha256(data).hexdigest(), len(data))
manifests = {
    "manifest": '"serial": 5, "expires": "2099-12-31T23:59:59Z"',
    "expired": '"serial": 5, "expires": "2000-01-01T00:00:00Z"',
    "no-expires": '"serial": 5',
    "bad-expires": '"serial": 5, "expires": "2099-02-30T00:00:00Z"',
    "old-serial": '"serial": 4, "expires": "2099-12-31T23:59:59Z"',
    "no-serial": '"expires": "2099-12-31T23:59:59Z"',
}
for name, age in manifests.items():
    manifest = out / f"{name}.json"
    manifest.write_text("{%s, %s}\n" % (release, age))
    (out / f"{name}.json.sig").write_text(sign(trust / "release.pem", manifest))
(out / "manifest.json.rotated.sig").write_text(sign(trust / "rotated.pem", out / "manifest.json"))
(out / "manifest.json.other.sig").write_text(sign(trust / "other-release.pem", out / "manifest.json"))
