#!/usr/bin/env python3
"""Compresses PNG files in place: the test programs write their pictures
with stored (uncompressed) deflate blocks; the README's copies are kept
small. The pixels stay as they are.

    png-compress.py FILE.png...
"""
import struct
import sys
import zlib


def compress(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    chunks, idat, at = [], b"", 8
    while at < len(data):
        length, tag = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if tag == b"IDAT":
            idat += body
        else:
            chunks.append((tag, body))
        at += 12 + length
    packed = zlib.compress(zlib.decompress(idat), 9)
    out = bytearray(data[:8])
    for tag, body in chunks:
        if tag == b"IEND":
            out += struct.pack(">I", len(packed)) + b"IDAT" + packed + struct.pack(">I", zlib.crc32(b"IDAT" + packed))
        out += struct.pack(">I", len(body)) + tag + body + struct.pack(">I", zlib.crc32(tag + body))
    open(path, "wb").write(out)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    for name in sys.argv[1:]:
        compress(name)
