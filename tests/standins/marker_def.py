#!/usr/bin/env python3
"""Writes the .def file of a marker DLL: every export of the given DLL,
by name and ordinal, forwarded to the system directory's DLL of the same
name (C:\\windows\\system32\\NAME.function, or NAME.#ordinal for exports
without a name).

    marker_def.py REAL_DLL NAME OUTPUT.def
"""
import struct
import sys


def exports(path):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<2xH12xH", data, pe + 4)
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x20B:
        sys.exit(f"{path}: not PE32+")
    export_rva = struct.unpack_from("<I", data, optional + 112)[0]
    table = optional + optional_size
    spans = [struct.unpack_from("<4I", data, table + i * 40 + 8) for i in range(sections)]

    def offset(rva):
        for vsize, vaddr, raw_size, raw_ptr in spans:
            if vaddr <= rva < vaddr + max(vsize, raw_size):
                return raw_ptr + rva - vaddr
        sys.exit(f"{path}: RVA {rva:#x} in no section")

    def cstring(rva):
        at = offset(rva)
        return data[at:data.index(b"\0", at)].decode("ascii")

    e = offset(export_rva)
    base, functions, names, functions_rva, names_rva, ordinals_rva = struct.unpack_from("<16x6I", data, e)
    addresses = struct.unpack_from(f"<{functions}I", data, offset(functions_rva)) if functions else ()
    named = {}
    for i in range(names):
        name = cstring(struct.unpack_from("<I", data, offset(names_rva) + 4 * i)[0])
        named[struct.unpack_from("<H", data, offset(ordinals_rva) + 2 * i)[0]] = name
    return [(base + i, named.get(i)) for i, rva in enumerate(addresses) if rva]


def main(real, name, output):
    target = "C:\\windows\\system32\\" + name
    lines = [f"LIBRARY {name}.dll", "EXPORTS"]
    for ordinal, export in exports(real):
        if export:
            lines.append(f'{export} = "{target}.{export}" @{ordinal}')
        else:
            lines.append(f'zv_ordinal_{ordinal} = "{target}.#{ordinal}" @{ordinal} NONAME')
    with open(output, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
