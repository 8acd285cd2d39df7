#!/usr/bin/env python3
"""Writes the small seed files for the exif fuzz harness: EXIF blocks in both
byte orders and each container that carries one.

Run from the repository root: python3 fuzz/make_exif_seeds.py
The files are committed; rerun only to change them.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SEEDS = os.path.join(HERE, "seeds", "exif")


def block(orientation, big_endian=False):
    order = ">" if big_endian else "<"
    entries = [(0x0100, 4, 1, struct.pack(order + "I", 640)),
               (0x0112, 3, 1, struct.pack(order + "HH", orientation, 0))]
    data = (b"MM" if big_endian else b"II") + struct.pack(order + "HI", 42, 8)
    data += struct.pack(order + "H", len(entries))
    for tag, kind, count, value in entries:
        data += struct.pack(order + "HHI", tag, kind, count) + value
    return data + struct.pack(order + "I", 0)


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def riff_chunk(name, data):
    return name + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")


def main():
    os.makedirs(SEEDS, exist_ok=True)
    app1 = b"Exif\0\0" + block(6)
    jfif = b"JFIF\0\1\2\0\0\1\0\1\0\0"
    jpeg = (b"\xff\xd8\xff\xe0" + struct.pack(">H", len(jfif) + 2) + jfif + b"\xff\xe1" +
            struct.pack(">H", len(app1) + 2) + app1 + b"\xff\xda\x00\x02\xff\xd9")
    png = (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 2, 0, 0, 0)) +
           png_chunk(b"IDAT", zlib.compress(b"\0\0\0\0")) + png_chunk(b"eXIf", block(3, True)) +
           png_chunk(b"IEND", b""))
    body = (b"WEBP" + riff_chunk(b"VP8X", bytes(10)) + riff_chunk(b"VP8L", bytes(13)) +
            riff_chunk(b"EXIF", b"Exif\0\0" + block(5)))
    seeds = {
        "block_le_6": block(6),
        "block_be_8": block(8, True),
        "jpeg_app1": jpeg,
        "png_exif_after_idat": png,
        "webp_exif": b"RIFF" + struct.pack("<I", len(body)) + body,
        "tiff_7": block(7),
    }
    for name, data in seeds.items():
        with open(os.path.join(SEEDS, name), "wb") as seed:
            seed.write(data)


if __name__ == "__main__":
    main()
