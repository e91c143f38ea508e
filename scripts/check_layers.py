#!/usr/bin/env python3
"""Fails on an #include that points up the layers: app -> pipeline -> net / setup -> common.

Each product folder may include its own headers and those of the layers below it; net and
setup sit side by side and do not include each other. Generated headers (no folder) and
res/ (resource identifiers) may be included from anywhere. Prints each offending line."""
import pathlib
import re
import sys

ALLOWED = {
    "common": {"common", "res"},
    "setup": {"setup", "common", "res"},
    "net": {"net", "common", "res"},
    "pipeline": {"pipeline", "net", "setup", "common", "res"},
    "app": {"app", "pipeline", "net", "setup", "common", "res"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
found = 0
for folder, allowed in ALLOWED.items():
    for path in sorted((root / folder).rglob("*")):
        if path.suffix not in (".h", ".cpp", ".c"):
            continue
        for number, line in enumerate(path.read_text().splitlines(), 1):
            match = INCLUDE.match(line)
            if not match or "/" not in match.group(1):
                continue
            target = match.group(1).split("/")[0]
            if target not in allowed:
                print(f"{path.relative_to(root)}:{number}: {folder}/ may not include {match.group(1)} "
                      f"(layers: app -> pipeline -> net / setup -> common)")
                found += 1
sys.exit(1 if found else 0)
