#!/usr/bin/env python3
"""Lists the delay-load imports of a PE image, one "<dll> <function>" line each.

GNU ld 2.40 links dlltool's delay-load descriptors but leaves the delay-import data
directory empty, so objdump cannot list them. The descriptors are found by their
shape instead: attributes 1 (RVA-based), RVAs inside the image for the DLL name,
module handle, IAT and name table, no bound IAT time stamp, and a name table whose
entries are ordinals or hint/name records."""
import re
import struct
import sys


def main(path):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: not a PE image")
    sections_count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x20B:
        sys.exit(f"{path}: not a PE32+ image")
    sections = []
    for i in range(sections_count):
        base = optional + optional_size + 40 * i
        virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, base + 8)
        sections.append((rva, max(virtual_size, raw_size), raw_offset, raw_size))

    def offset(rva):
        for start, size, raw, raw_size in sections:
            if start <= rva < start + size and rva - start < raw_size:
                return raw + rva - start
        return None

    def inside(rva):
        return any(start <= rva < start + size for start, size, _, _ in sections)

    def text(rva, limit=256):
        at = offset(rva)
        if at is None:
            return None
        end = data.find(b"\0", at, at + limit)
        return data[at:end].decode("ascii", "replace") if end > at else None

    def functions(int_rva):
        names = []
        at = offset(int_rva)
        while at is not None and at + 8 <= len(data):
            entry = struct.unpack_from("<Q", data, at)[0]
            if entry == 0:
                return names
            if entry & (1 << 63):
                names.append(f"#{entry & 0xFFFF}")
            else:
                name = text(entry + 2)
                if not name or not re.fullmatch(r"[A-Za-z_][A-Za-z0-9_@?$]*", name):
                    return None
                names.append(name)
            at += 8
        return None

    found = {}
    for _, _, raw, raw_size in sections:
        for at in range(raw, raw + raw_size - 32 + 1, 4):
            attrs, name, hmod, iat, int_, bound, unload, stamp = struct.unpack_from("<8I", data, at)
            if attrs != 1 or stamp != 0 or bound != 0:
                continue
            if not all(inside(r) for r in (name, hmod, iat, int_)) or (unload and not inside(unload)):
                continue
            dll = text(name, 64)
            if not dll or not re.fullmatch(r"[A-Za-z0-9_.-]+\.dll", dll, re.IGNORECASE):
                continue
            names = functions(int_)
            if names:
                found[at] = (dll.lower(), names)
    for dll, names in found.values():
        for function in names:
            print(dll, function)


if __name__ == "__main__":
    main(sys.argv[1])
