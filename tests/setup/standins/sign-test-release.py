#!/usr/bin/env python3
"""Writes the signed test release of a setup program into OUT, as kestravon-publish would:
manifest.json naming URL with the setup's SHA-256 and size, manifest.json.sig (base64 of
the 64-byte r||s over SHA-256 of the manifest, signed by openssl with KEY), and
other-key.sig, the same manifest signed with OTHER_KEY.

    sign-test-release.py SETUP URL KEY OTHER_KEY OUT"""
import base64
import hashlib
import pathlib
import subprocess
import sys


def p1363(der):
    """r||s, 32 bytes each, from a DER ECDSA-Sig-Value (short lengths: P-256 needs no more)."""
    assert der[0] == 0x30 and der[1] == len(der) - 2
    numbers, at = [], 2
    for _ in range(2):
        assert der[at] == 0x02
        length = der[at + 1]
        numbers.append(int.from_bytes(der[at + 2:at + 2 + length], "big").to_bytes(32, "big"))
        at += 2 + length
    return b"".join(numbers)


def sign(key, path):
    der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key, path], check=True,
                         capture_output=True).stdout
    return base64.b64encode(p1363(der)).decode() + "\n"


setup, url, key, other_key, out = sys.argv[1:]
data = pathlib.Path(setup).read_bytes()
out = pathlib.Path(out)
out.mkdir(parents=True, exist_ok=True)
manifest = out / "manifest.json"
manifest.write_text('{"url": "%s", "sha256": "%s", "version": "1.0.0", "size": %d}\n'
                    % (url, hashlib.sha256(data).hexdigest(), len(data)))
(out / "manifest.json.sig").write_text(sign(key, manifest))
(out / "other-key.sig").write_text(sign(other_key, manifest))
