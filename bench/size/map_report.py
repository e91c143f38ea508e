#!/usr/bin/env python3
"""Sums the input sections of a GNU ld map by library and by object file.

usage: map_report.py MAP [TOP]
Only loaded sections that take space in the image count (.text, .data, .rdata,
.pdata, .xdata, .bss is left out as it costs no file bytes).
"""
import collections
import re
import sys

COUNTED = (".text", ".data", ".rdata", ".pdata", ".xdata", ".rsrc", ".tls", ".CRT", ".idata")
# " .text.foo   0x0000000140001000   0x1a3 path/to/lib.a(member.o)" (name may wrap onto its own line)
ENTRY = re.compile(r"^\s(\.[\w.$]+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")


def contributions(path):
    pending = None
    in_memory_map = False
    with open(path, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            if line.startswith("Linker script and memory map"):
                in_memory_map = True
                continue
            if not in_memory_map:
                continue
            stripped = line.rstrip("\n")
            if re.match(r"^\s\.[\w.$]+\s*$", stripped):
                pending = stripped.strip()
                continue
            match = ENTRY.match(stripped)
            if not match:
                pending = None
                continue
            name = match.group(1) or pending
            pending = None
            if not name or not name.startswith(COUNTED):
                continue
            size = int(match.group(3), 16)
            if size:
                yield name, match.group(4).strip(), size


def library_of(source):
    archive = re.match(r"(.*?\.a)\(", source)
    name = archive.group(1) if archive else source
    return short(name)


def short(source):
    # Link-time optimised code arrives in temporary objects with random names.
    if source.endswith(".ltrans.o"):
        return "project code (link-time optimised)"
    return re.sub(r"^.*/", "", source)


def main(argv):
    top = int(argv[2]) if len(argv) > 2 else 15
    by_library = collections.Counter()
    by_object = collections.Counter()
    total = 0
    for _, source, size in contributions(argv[1]):
        by_library[library_of(source)] += size
        by_object[short(source)] += size
        total += size
    print(f"Mapped code and data: {total} bytes")
    print("\nBy library or object:")
    for name, size in by_library.most_common(top):
        print(f"  {size:8d}  {100 * size / max(total, 1):5.1f}%  {name}")
    print(f"\nLargest {top} input files:")
    for name, size in by_object.most_common(top):
        print(f"  {size:8d}  {100 * size / max(total, 1):5.1f}%  {name}")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
