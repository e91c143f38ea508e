#!/usr/bin/env python3
"""Checks the installer's release pins and writes the header that builds them in.

    release_trust.py --key PEM --publisher-file FILE --issuer-keys TEXT --min-serial N --threshold K
                     --out HEADER

--key: empty, or a file of one to four distinct ECDSA P-256 public keys, each a
SubjectPublicKeyInfo PEM block ("-----BEGIN PUBLIC KEY-----") whose base64 is the standard
encoding of the key with an uncompressed point on the curve, and nothing but spaces, tabs
and line ends around and between them. kestravon-publish --check reads keys by the same
rules (tools/publish/manifest_signature.cpp); tests/publish/release_pins_test.sh holds both
to the same files.
--publisher-file: holds the publisher's exact subject common name in UTF-8, or nothing;
control and format characters, surrounding white space and names over 255 UTF-16 units
are refused.
--issuer-keys: empty, or ';'-separated SHA-256 digests (64 hexadecimal digits) of the
SubjectPublicKeyInfo of a certificate that may issue the publisher's; needs a publisher.
--min-serial: the lowest release serial a signed manifest may carry, 1 or more.
--threshold: how many distinct release keys must sign a manifest, 1 to the number of keys.
On a refusal prints one sentence and exits 1. The header is rewritten only when its text
changes, so an unchanged configure rebuilds nothing."""
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
PEM = re.compile(r"-----BEGIN PUBLIC KEY-----\r?\n([A-Za-z0-9+/=\r\n]+)-----END PUBLIC KEY-----")
MAX_KEYS = 4


def refuse(sentence):
    sys.exit(sentence)


def read_keys(path):
    """X and Y of each key in `path`, 64 bytes each, in file order."""
    try:
        text = pathlib.Path(path).read_text(encoding="ascii")
    except (OSError, UnicodeDecodeError):
        refuse(f"KESTRAVON_RELEASE_KEY: {path} cannot be read as a PEM text file.")
    what = (f"KESTRAVON_RELEASE_KEY: {path} is not one to {MAX_KEYS} ECDSA P-256 public keys "
            "in SubjectPublicKeyInfo PEM form")
    blocks = list(PEM.finditer(text))
    if not blocks or PEM.sub("", text).strip(" \t\r\n") or len(blocks) > MAX_KEYS:
        refuse(f"{what} (-----BEGIN PUBLIC KEY----- blocks and nothing else).")
    points = []
    for block in blocks:
        encoded = "".join(block.group(1).split())
        try:
            der = base64.b64decode(encoded, validate=True)
        except binascii.Error:
            der = None
        # Only the standard encoding: no stray padding or bits, one text for each key.
        if der is None or base64.b64encode(der).decode("ascii") != encoded:
            refuse(f"{what} (its base64 is not the standard encoding of a key).")
        if len(der) != len(SPKI_PREFIX) + 64 or not der.startswith(SPKI_PREFIX):
            refuse(f"{what} with an uncompressed point (openssl pkey -pubout writes one).")
        point = der[len(SPKI_PREFIX):]
        x, y = int.from_bytes(point[:32], "big"), int.from_bytes(point[32:], "big")
        if x >= P or y >= P or (y * y - (x * x * x - 3 * x + B)) % P != 0:
            refuse(f"{what}: a point is not on the curve.")
        if point in points:
            refuse(f"KESTRAVON_RELEASE_KEY: {path} holds the same key twice.")
        points.append(point)
    return points


def read_publisher(path):
    raw = pathlib.Path(path).read_bytes()
    try:
        name = raw.decode("utf-8")
    except UnicodeDecodeError:
        refuse("KESTRAVON_SETUP_PUBLISHER is not valid UTF-8.")
    if any(unicodedata.category(c) == "Cc" for c in name):
        refuse("KESTRAVON_SETUP_PUBLISHER holds a control character; it must be the certificate's "
               "exact subject common name.")
    # Zero-width characters, bidirectional marks and the byte-order mark: invisible in a name
    # that is read off a certificate, so never in one that could match.
    if any(unicodedata.category(c) == "Cf" for c in name):
        refuse("KESTRAVON_SETUP_PUBLISHER holds an invisible format character (zero-width, "
               "bidirectional mark or byte-order mark); it must be the certificate's exact subject common name.")
    if name != name.strip():
        refuse("KESTRAVON_SETUP_PUBLISHER begins or ends with white space; it must be the certificate's "
               "exact subject common name.")
    if len(name.encode("utf-16-le")) > 2 * 255:
        refuse("KESTRAVON_SETUP_PUBLISHER is longer than the 255 UTF-16 units the installer compares.")
    return name


def read_issuer_keys(text, publisher):
    if not text:
        return []
    digests = [part.strip().lower() for part in text.split(";")]
    if any(not re.fullmatch(r"[0-9a-f]{64}", d) for d in digests):
        refuse("KESTRAVON_SETUP_ISSUER_KEYS must be SHA-256 digests (64 hexadecimal digits) of a "
               "SubjectPublicKeyInfo, separated by ';'.")
    if not publisher:
        refuse("KESTRAVON_SETUP_ISSUER_KEYS needs KESTRAVON_SETUP_PUBLISHER: the issuer is checked with the publisher.")
    return [bytes.fromhex(d) for d in dict.fromkeys(digests)]


def read_min_serial(text):
    if not text:
        refuse("KESTRAVON_MIN_RELEASE_SERIAL is empty; give the serial of the release current when the "
               "installer is built (1 before the first).")
    if not re.fullmatch(r"[1-9][0-9]*", text) or int(text) >= 2**64:
        refuse("KESTRAVON_MIN_RELEASE_SERIAL must be one whole number from 1 to 2^64 - 1.")
    return int(text)


def read_threshold(text, keys):
    if not re.fullmatch(r"[1-9][0-9]*", text) or int(text) > max(keys, 1):
        refuse(f"KESTRAVON_RELEASE_THRESHOLD must be one whole number from 1 to the number of release keys "
               f"({keys}): how many of them must sign each manifest.")
    return int(text)


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


def byte_rows(name, size, values, comment):
    lines = [comment, f"inline constexpr unsigned char {name}[][{size}] = {{"]
    for value in values:
        rows = [", ".join(f"0x{b:02x}" for b in value[i:i + 16]) for i in range(0, size, 16)]
        lines += ["    {"] + [f"        {row}," for row in rows] + ["    },"]
    return lines + ["};"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--key", required=True)
    parser.add_argument("--publisher-file", required=True)
    parser.add_argument("--issuer-keys", default="")
    parser.add_argument("--min-serial", required=True)
    parser.add_argument("--threshold", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    points = read_keys(args.key) if args.key else []
    publisher = read_publisher(args.publisher_file)
    issuers = read_issuer_keys(args.issuer_keys, publisher)
    min_serial = read_min_serial(args.min_serial)
    threshold = read_threshold(args.threshold, len(points))
    lines = [
        "// Generated at configure time from KESTRAVON_RELEASE_KEY, KESTRAVON_RELEASE_THRESHOLD,",
        "// KESTRAVON_MIN_RELEASE_SERIAL, KESTRAVON_SETUP_PUBLISHER and KESTRAVON_SETUP_ISSUER_KEYS",
        "// (cmake/ReleaseTrust.cmake); do not edit.",
        "#pragma once",
        "",
    ]
    keys = "{nullptr, 0}"
    if points:
        lines += byte_rows("KestravonReleaseKeys", 64, points,
                           "// X and Y of each release key (ECDSA P-256), big-endian.")
        keys = f"{{KestravonReleaseKeys, {len(points)}, {threshold}}}"
    issuer_pin = "nullptr, 0"
    if issuers:
        lines += byte_rows("KestravonSetupIssuerKeys", 32, issuers,
                           "// SHA-256 of the SubjectPublicKeyInfo of each certificate that may issue the publisher's.")
        issuer_pin = f"KestravonSetupIssuerKeys, {len(issuers)}"
    name = wide_literal(publisher) if publisher else "nullptr"
    lines += ["// Unpinned parts are empty: no key leaves the manifest unchecked, no publisher the setup's signer.",
              f"#define KESTRAVON_RELEASE_PINS ReleasePins{{{keys}, {min_serial}ull, {{{name}, {issuer_pin}}}}}"]
    text = "\n".join(lines) + "\n"
    out = pathlib.Path(args.out)
    if not out.exists() or out.read_text(encoding="utf-8") != text:
        out.parent.mkdir(parents=True, exist_ok=True)
        out.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main()
