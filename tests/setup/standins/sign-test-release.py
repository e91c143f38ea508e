#!/usr/bin/env python3
"""Writes the signed test release of SETUP into OUT as kestravon-publish would: manifest.json
naming URL with the setup's SHA-256 and size; manifest.json.sig, the base64 of the 64-byte
r||s over SHA-256 of the manifest (openssl, KEY); other-key.sig, the same by OTHER_KEY.
    sign-test-release.py SETUP URL KEY OTHER_KEY OUT"""
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


setup, url, key, other_key, out = sys.argv[1:]
data = pathlib.Path(setup).read_bytes()
out = pathlib.Path(out)
out.mkdir(parents=True, exist_ok=True)
manifest = out / "manifest.json"
manifest.write_text('{"url": "%s", "sha256": "%s", "version": "1.0.0", "size": %d}\n'
                    % (url, hashlib.sha256(data).hexdigest(), len(data)))
(out / "manifest.json.sig").write_text(sign(key, manifest))
(out / "other-key.sig").write_text(sign(other_key, manifest))
