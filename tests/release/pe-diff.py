#!/usr/bin/env python3
"""Lists where two PE32+ images differ: each run of differing bytes with its
file offsets and the header field, directory entry or section it lies in.
Exit code 0 when the files are equal, 1 when they differ.

    pe-diff.py A B
"""
import struct
import sys

COFF_FIELDS = [("Machine", 2), ("NumberOfSections", 2), ("TimeDateStamp", 4),
               ("PointerToSymbolTable", 4), ("NumberOfSymbols", 4),
               ("SizeOfOptionalHeader", 2), ("Characteristics", 2)]
OPTIONAL_FIELDS = [("Magic", 2), ("MajorLinkerVersion", 1), ("MinorLinkerVersion", 1),
                   ("SizeOfCode", 4), ("SizeOfInitializedData", 4), ("SizeOfUninitializedData", 4),
                   ("AddressOfEntryPoint", 4), ("BaseOfCode", 4), ("ImageBase", 8),
                   ("SectionAlignment", 4), ("FileAlignment", 4),
                   ("MajorOperatingSystemVersion", 2), ("MinorOperatingSystemVersion", 2),
                   ("MajorImageVersion", 2), ("MinorImageVersion", 2),
                   ("MajorSubsystemVersion", 2), ("MinorSubsystemVersion", 2),
                   ("Win32VersionValue", 4), ("SizeOfImage", 4), ("SizeOfHeaders", 4),
                   ("CheckSum", 4), ("Subsystem", 2), ("DllCharacteristics", 2),
                   ("SizeOfStackReserve", 8), ("SizeOfStackCommit", 8),
                   ("SizeOfHeapReserve", 8), ("SizeOfHeapCommit", 8),
                   ("LoaderFlags", 4), ("NumberOfRvaAndSizes", 4)]
DIRECTORIES = ["Export", "Import", "Resource", "Exception", "Certificate", "BaseRelocation",
               "Debug", "Architecture", "GlobalPtr", "TLS", "LoadConfig", "BoundImport",
               "IAT", "DelayImport", "CLRRuntime", "Reserved"]


def regions(image):
    """(start, end, name) for every part of the headers and every section."""
    out = [(0, 0x40, "DOS header")]
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    out.append((0x40, pe, "DOS stub"))
    out.append((pe, pe + 4, "PE signature"))
    at = pe + 4
    for name, size in COFF_FIELDS:
        out.append((at, at + size, "COFF header " + name))
        at += size
    sections = struct.unpack_from("<H", image, pe + 6)[0]
    optional_size = struct.unpack_from("<H", image, pe + 20)[0]
    optional = at
    for name, size in OPTIONAL_FIELDS:
        out.append((at, at + size, "optional header " + name))
        at += size
    for name in DIRECTORIES:
        if at + 8 > optional + optional_size:
            break
        out.append((at, at + 4, f"data directory {name} RVA"))
        out.append((at + 4, at + 8, f"data directory {name} size"))
        at += 8
    table = optional + optional_size
    for i in range(sections):
        entry = table + i * 40
        name = image[entry:entry + 8].rstrip(b"\0").decode("ascii", "replace")
        raw_size, raw_ptr = struct.unpack_from("<II", image, entry + 16)
        out.append((entry, entry + 40, f"section header {name}"))
        if raw_size:
            out.append((raw_ptr, raw_ptr + raw_size, f"section {name}"))
    return out


def where(offset, parts):
    for start, end, name in parts:
        if start <= offset < end:
            return name
    return "outside the headers and sections (padding or appended data)"


def main(a_path, b_path):
    a = open(a_path, "rb").read()
    b = open(b_path, "rb").read()
    if a == b:
        print("identical")
        return 0
    if len(a) != len(b):
        print(f"sizes differ: {len(a)} and {len(b)} bytes")
    parts = regions(a)
    runs = []
    for offset in range(min(len(a), len(b))):
        if a[offset] != b[offset]:
            if runs and runs[-1][1] == offset:
                runs[-1][1] = offset + 1
            else:
                runs.append([offset, offset + 1])
    for start, end in runs[:40]:
        print(f"0x{start:06x}-0x{end - 1:06x} ({end - start} bytes): {where(start, parts)}")
    if len(runs) > 40:
        print(f"... {len(runs) - 40} more runs")
    return 1


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
