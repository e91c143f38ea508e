#!/usr/bin/env python3
"""Reads the PE headers of an executable and checks its hardening.

usage: check_pe.py EXE [--expect-fail NAME,NAME,...]

Without --expect-fail every check must pass. With it, exactly the named checks
must fail (used to show the checker catches a deliberately weak executable).
"""
import struct
import sys

IMAGE_FILE_MACHINE_AMD64 = 0x8664
PE32_PLUS_MAGIC = 0x20B
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
DYNAMIC_BASE = 0x0040
HIGH_ENTROPY_VA = 0x0020
NX_COMPAT = 0x0100
SCN_MEM_EXECUTE = 0x20000000
SCN_MEM_WRITE = 0x80000000
EXPORT_DIRECTORY = 0
BASERELOC_DIRECTORY = 5


def read_pe(data):
    if data[:2] != b"MZ":
        raise ValueError("no MZ header")
    (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    coff = pe_offset + 4
    machine, sections, timestamp, _, _, optional_size, characteristics = struct.unpack_from("<HHIIIHH", data, coff)
    optional = coff + 20
    (magic,) = struct.unpack_from("<H", data, optional)
    pe = {
        "machine": machine,
        "timestamp": timestamp,
        "characteristics": characteristics,
        "magic": magic,
        "sections": [],
        "directories": [],
    }
    if magic == PE32_PLUS_MAGIC:
        pe["subsystem"], pe["dll_characteristics"] = struct.unpack_from("<HH", data, optional + 68)
        (count,) = struct.unpack_from("<I", data, optional + 108)
        for i in range(min(count, 16)):
            pe["directories"].append(struct.unpack_from("<II", data, optional + 112 + 8 * i))
    table = optional + optional_size
    for i in range(sections):
        entry = table + 40 * i
        name = data[entry:entry + 8].rstrip(b"\0").decode("ascii", "replace")
        (flags,) = struct.unpack_from("<I", data, entry + 36)
        pe["sections"].append((name, flags))
    return pe


def directory(pe, index):
    return pe["directories"][index] if index < len(pe["directories"]) else (0, 0)


def checks(pe):
    """Each check: name -> (passed, what was found)."""
    dll = pe.get("dll_characteristics", 0)
    wx = [name for name, flags in pe["sections"] if flags & SCN_MEM_WRITE and flags & SCN_MEM_EXECUTE]
    export_rva, export_size = directory(pe, EXPORT_DIRECTORY)
    reloc_rva, reloc_size = directory(pe, BASERELOC_DIRECTORY)
    return {
        "machine": (pe["machine"] == IMAGE_FILE_MACHINE_AMD64, hex(pe["machine"])),
        "pe32plus": (pe["magic"] == PE32_PLUS_MAGIC, hex(pe["magic"])),
        "gui": (pe.get("subsystem") == IMAGE_SUBSYSTEM_WINDOWS_GUI, pe.get("subsystem")),
        "dynamic_base": (bool(dll & DYNAMIC_BASE), hex(dll)),
        "high_entropy": (bool(dll & HIGH_ENTROPY_VA), hex(dll)),
        "nx": (bool(dll & NX_COMPAT), hex(dll)),
        "relocations": (not pe["characteristics"] & IMAGE_FILE_RELOCS_STRIPPED and reloc_rva != 0 and reloc_size != 0,
                        f"characteristics {pe['characteristics']:#x}, reloc dir {reloc_rva:#x}+{reloc_size}"),
        "wx": (not wx, ",".join(wx) or "none"),
        "exports": (export_rva == 0 and export_size == 0 and ".edata" not in [n for n, _ in pe["sections"]],
                    f"export dir {export_rva:#x}+{export_size}"),
        "timestamp": (pe["timestamp"] == 0, pe["timestamp"]),
    }


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--expect-fail"):
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], "rb") as f:
        pe = read_pe(f.read())
    results = checks(pe)
    expected_failures = set(argv[3].split(",")) if len(argv) == 4 else set()
    unknown = expected_failures - results.keys()
    if unknown:
        print(f"unknown checks: {sorted(unknown)}", file=sys.stderr)
        return 2
    ok = True
    for name, (passed, found) in results.items():
        expected = name not in expected_failures
        mark = "ok" if passed == expected else "WRONG"
        print(f"{mark:5} {name:13} {'passes' if passed else 'fails'} (found {found})")
        ok = ok and passed == expected
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
