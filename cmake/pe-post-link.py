#!/usr/bin/env python3
"""Finishes the program's PE32+ image after the link, in place:
- points the load-configuration directory entry at the record named
  _load_config_used, which GNU ld keeps but does not enter in the directory
  (the address comes from the link map, the size from the record's own
  first field);
- writes TIMESTAMP (seconds since 1970) as the COFF header's TimeDateStamp,
  which the link leaves empty (--no-insert-timestamp) so that the same
  sources give the same bytes;
- computes the header CheckSum again over the finished image, since the
  linker's sum covers neither change.

    pe-post-link.py IMAGE MAP TIMESTAMP
"""
import re
import struct
import sys

LOAD_CONFIG_ENTRY = 10


def pe_checksum(image, checksum_offset):
    """The image's header CheckSum as Windows computes it (imagehlp's
    CheckSumMappedFile): 16-bit words summed with end-around carry, the
    CheckSum field itself taken as zero, plus the file's length."""
    data = bytes(image[:checksum_offset]) + b"\0\0\0\0" + bytes(image[checksum_offset + 4:])
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack(f"<{len(data) // 2}H", data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(image)


def main(image_path, map_path, timestamp):
    with open(map_path, encoding="utf-8", errors="replace") as f:
        found = re.search(r"^\s+0x([0-9a-fA-F]+)\s+_load_config_used\s*$", f.read(), re.M)
    if not found:
        sys.exit(f"{map_path}: no _load_config_used")
    address = int(found.group(1), 16)
    if not 0 <= timestamp < 2**32:
        sys.exit(f"timestamp {timestamp} does not fit the header's 32 bits")

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
        struct.pack_into("<I", image, pe + 8, timestamp)
        checksum_offset = optional + 64
        struct.pack_into("<I", image, checksum_offset, pe_checksum(image, checksum_offset))
        f.seek(0)
        f.write(image)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], int(sys.argv[3]))
