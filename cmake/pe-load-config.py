#!/usr/bin/env python3
"""Points a PE32+ image's load-configuration directory entry at the record
named _load_config_used, which GNU ld keeps but does not enter in the
directory. The record's address comes from the link map, its size from the
record's own first field.

    pe-load-config.py IMAGE MAP
"""
import re
import struct
import sys

LOAD_CONFIG_ENTRY = 10


def main(image_path, map_path):
    with open(map_path, encoding="utf-8", errors="replace") as f:
        found = re.search(r"^\s+0x([0-9a-fA-F]+)\s+_load_config_used\s*$", f.read(), re.M)
    if not found:
        sys.exit(f"{map_path}: no _load_config_used")
    address = int(found.group(1), 16)

    with open(image_path, "r+b") as f:
        image = bytearray(f.read())
        pe = struct.unpack_from("<I", image, 0x3C)[0]
        if image[pe:pe + 4] != b"PE\0\0":
            sys.exit(f"{image_path}: not a PE image")
        sections, optional_size = struct.unpack_from("<2xH12xH", image, pe + 4)
        optional = pe + 24
        if struct.unpack_from("<H", image, optional)[0] != 0x20B:
            sys.exit(f"{image_path}: not PE32+")
        image_base = struct.unpack_from("<Q", image, optional + 24)[0]
        if struct.unpack_from("<I", image, optional + 108)[0] <= LOAD_CONFIG_ENTRY:
            sys.exit(f"{image_path}: no load-configuration entry in the directory")
        rva = address - image_base

        # The record's first field is its size.
        table = optional + optional_size
        for i in range(sections):
            vsize, vaddr, raw_size, raw_ptr = struct.unpack_from("<4I", image, table + i * 40 + 8)
            if vaddr <= rva < vaddr + max(vsize, raw_size):
                size = struct.unpack_from("<I", image, raw_ptr + rva - vaddr)[0]
                break
        else:
            sys.exit(f"{image_path}: _load_config_used at RVA {rva:#x} lies in no section")

        struct.pack_into("<II", image, optional + 112 + LOAD_CONFIG_ENTRY * 8, rva, size)
        f.seek(0)
        f.write(image)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
