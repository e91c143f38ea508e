#!/usr/bin/env python3
"""Checks the installer's release pins and writes the header that builds them in.

    release_trust.py --key PEM --publisher-file FILE --out HEADER

--key: empty, or an ECDSA P-256 public key as SubjectPublicKeyInfo PEM
("-----BEGIN PUBLIC KEY-----") with an uncompressed point on the curve, nothing else.
--publisher-file: holds the publisher's exact subject common name in UTF-8, or nothing;
control characters and names over 255 UTF-16 units are refused. On a refusal prints one sentence and exits 1. The
header is rewritten only when its text changes, so an unchanged configure rebuilds nothing."""
import argparse
import base64
import binascii
import pathlib
import re
import sys
import unicodedata

# SEQUENCE { SEQUENCE { id-ecPublicKey, prime256v1 }, BIT STRING { 0x04 X Y } }
SPKI_PREFIX = bytes.fromhex("3059301306072a8648ce3d020106082a8648ce3d030107034200" "04")
P = 2**256 - 2**224 + 2**192 + 2**96 - 1
B = 0x5AC635D8AA3A93E7B3EBBD55769886BC651D06B0CC53B0F63BCE3C3E27D2604B
PEM = re.compile(r"\s*-----BEGIN PUBLIC KEY-----\r?\n([A-Za-z0-9+/=\r\n]+)-----END PUBLIC KEY-----\s*")


def refuse(sentence):
    sys.exit(sentence)


def read_key(path):
    """X and Y of the key in `path`, 64 bytes."""
    try:
        text = pathlib.Path(path).read_text(encoding="ascii")
    except (OSError, UnicodeDecodeError):
        refuse(f"KESTRAVON_RELEASE_KEY: {path} cannot be read as a PEM text file.")
    match = PEM.fullmatch(text)
    what = f"KESTRAVON_RELEASE_KEY: {path} is not an ECDSA P-256 public key in SubjectPublicKeyInfo PEM form"
    if not match:
        refuse(f"{what} (one -----BEGIN PUBLIC KEY----- block and nothing else).")
    try:
        der = base64.b64decode("".join(match.group(1).split()), validate=True)
    except binascii.Error:
        refuse(f"{what} (its base64 does not decode).")
    if len(der) != len(SPKI_PREFIX) + 64 or not der.startswith(SPKI_PREFIX):
        refuse(f"{what} with an uncompressed point (openssl pkey -pubout writes one).")
    point = der[len(SPKI_PREFIX):]
    x, y = int.from_bytes(point[:32], "big"), int.from_bytes(point[32:], "big")
    if x >= P or y >= P or (y * y - (x * x * x - 3 * x + B)) % P != 0:
        refuse(f"{what}: its point is not on the curve.")
    return point


def read_publisher(path):
    raw = pathlib.Path(path).read_bytes()
    try:
        name = raw.decode("utf-8")
    except UnicodeDecodeError:
        refuse("KESTRAVON_SETUP_PUBLISHER is not valid UTF-8.")
    if any(unicodedata.category(c) == "Cc" for c in name):
        refuse("KESTRAVON_SETUP_PUBLISHER holds a control character; it must be the certificate's "
               "exact subject common name.")
    if len(name.encode("utf-16-le")) > 2 * 255:
        refuse("KESTRAVON_SETUP_PUBLISHER is longer than the 255 UTF-16 units the installer compares.")
    return name


def wide_literal(text):
    """A C++ wide string literal; non-ASCII as universal character names, which have a fixed length."""
    out = []
    for c in text:
        if c in '\\"':
            out.append("\\" + c)
        elif ord(c) < 0x80:
            out.append(c)
        elif ord(c) <= 0xFFFF:
            out.append(f"\\u{ord(c):04x}")
        else:
            out.append(f"\\U{ord(c):08x}")
    return 'L"' + "".join(out) + '"'


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--key", required=True)
    parser.add_argument("--publisher-file", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    lines = [
        "// Generated at configure time from KESTRAVON_RELEASE_KEY and KESTRAVON_SETUP_PUBLISHER",
        "// (cmake/ReleaseTrust.cmake); do not edit.",
        "#pragma once",
        "",
    ]
    if args.key:
        point = read_key(args.key)
        rows = [", ".join(f"0x{b:02x}" for b in point[i:i + 16]) for i in range(0, 64, 16)]
        lines += ["// X and Y of the release key (ECDSA P-256), big-endian.",
                  "inline constexpr unsigned char KestravonReleaseKey[64] = {"]
        lines += [f"    {row}," for row in rows]
        lines += ["};", "#define KESTRAVON_RELEASE_KEY KestravonReleaseKey"]
    else:
        lines += ["#define KESTRAVON_RELEASE_KEY nullptr  // not pinned: the manifest is not checked"]
    publisher = read_publisher(args.publisher_file)
    if publisher:
        lines += [f"#define KESTRAVON_SETUP_PUBLISHER {wide_literal(publisher)}"]
    else:
        lines += ["#define KESTRAVON_SETUP_PUBLISHER nullptr  // not pinned: the setup's signer is not checked"]
    text = "\n".join(lines) + "\n"
    out = pathlib.Path(args.out)
    if not out.exists() or out.read_text(encoding="utf-8") != text:
        out.parent.mkdir(parents=True, exist_ok=True)
        out.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main()
