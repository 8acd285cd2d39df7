#!/usr/bin/env python3
"""Writes the small BMP seed files for the bmp and any_format fuzz harnesses.

Run from the repository root: python3 fuzz/make_bmp_seeds.py
The files are committed; rerun only to change them.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def bmp(width, height, bit_count, pixels, compression=0, table=(), colours_used=None,
        header_size=40, masks=(), gap=b"", pixel_offset=None):
    info = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bit_count, compression, 0, 2835, 2835,
                       len(table) if colours_used is None else colours_used, 0)
    info += b"".join(struct.pack("<I", m) for m in masks)
    info = info.ljust(header_size, b"\0") if len(info) < header_size else info
    colours = b"".join(struct.pack("<BBBB", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, 0) for c in table)
    offset = 14 + len(info) + len(colours) + len(gap)
    if pixel_offset is not None:
        offset = pixel_offset
    body = info + colours + gap + bytes(pixels)
    return b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, offset) + body


def os2(header_size, pixels, bit_count=8, table=(0x000000, 0xFF0000, 0x00FF00, 0x0000FF), width=2, height=2,
        array=False):
    """An OS/2 bitmap: a 12-byte core header with 3-byte table entries, or a 2.x header cut to header_size."""
    if header_size == 12:
        info = struct.pack("<IHHHH", 12, width, height, 1, bit_count)
        colours = b"".join(struct.pack("<BBB", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF) for c in table)
    else:
        info = struct.pack("<IiiHH", header_size, width, height, 1, bit_count).ljust(header_size, b"\0")
        colours = b"".join(struct.pack("<BBBB", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, 0) for c in table)
    before = 14 if array else 0
    body = info + colours + bytes(pixels)
    data = b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, before + 14 + len(info) + len(colours)) + body
    return (b"BA" + struct.pack("<IIHH", 40, 0, 0, 0) + data) if array else data


GREYS4 = [0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF]
COLOURS16 = [(i * 0x111111) ^ (0xFF0000 if i & 1 else 0) for i in range(16)]

SEEDS = {
    "pal1_10x3.bmp": bmp(10, 3, 1, [0xA5, 0x40, 0, 0, 0x5A, 0x80, 0, 0, 0xFF, 0xC0, 0, 0], table=[0xFFFFFF, 0x0000FF]),
    "pal4_5x3.bmp": bmp(5, 3, 4, [0x01, 0x23, 0x40, 0, 0x56, 0x78, 0x90, 0, 0xAB, 0xCD, 0xE0, 0], table=COLOURS16),
    "pal4_rle.bmp": bmp(7, 3, 4, [5, 0x12, 0, 0, 0, 5, 0x01, 0x23, 0x10, 0, 0, 0, 9, 0x30, 0, 1], compression=2,
                        table=COLOURS16),
    "pal8_5x3.bmp": bmp(5, 3, 8, [0, 1, 2, 3, 0, 0, 0, 0, 3, 2, 1, 0, 1, 0, 0, 0, 2, 2, 2, 2, 2, 0, 0, 0],
                        table=GREYS4),
    "pal8_rle.bmp": bmp(5, 3, 8, [3, 1, 0, 3, 2, 3, 0, 0, 0, 0, 2, 2, 0, 0, 0, 4, 3, 2, 1, 0, 0, 1], compression=1,
                        table=GREYS4),
    "pal8_topdown.bmp": bmp(3, -2, 8, [1, 2, 3, 0, 3, 2, 1, 0], table=GREYS4),
    "pal8_v5header.bmp": bmp(3, 2, 8, [1, 2, 3, 0, 3, 2, 1, 0], table=GREYS4, header_size=124),
    "pal8_300colors.bmp": bmp(2, 1, 8, [1, 3, 0, 0], table=[0x123456] * 300),
    "pal8_gap.bmp": bmp(2, 2, 8, [1, 3, 0, 0, 2, 0, 0, 0], table=GREYS4, gap=b"\xEE" * 13),
    "rgb16_555.bmp": bmp(2, 2, 16, [0xFF, 0x7F, 0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C]),
    "rgb16_565.bmp": bmp(2, 2, 16, [0xFF, 0xFF, 0x1F, 0x00, 0xE0, 0x07, 0x00, 0xF8], compression=3,
                         masks=(0xF800, 0x7E0, 0x1F)),
    "rgb24_3x2.bmp": bmp(3, 2, 24, [0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0]),
    "rgb32_2x2.bmp": bmp(2, 2, 32, [1, 2, 3, 255, 4, 5, 6, 128, 7, 8, 9, 0, 10, 11, 12, 255]),
    "rgb24_v4header.bmp": bmp(1, 1, 24, [1, 2, 3, 0], header_size=108),
    "os2_core.bmp": os2(12, [1, 2, 0, 0, 3, 0, 0, 0]),
    "os2_16byte.bmp": os2(16, [1, 2, 0, 0, 3, 0, 0, 0], table=[0x000000, 0xFF0000, 0x00FF00, 0x0000FF] * 64),
    "os2_64byte_rle24.bmp": bmp(3, 2, 24, [2, 0, 0, 255, 0, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 0, 2, 1, 0, 1,
                                           0, 255, 0, 0, 1], compression=4, header_size=64),
    "os2_array.bmp": os2(12, [1, 2, 0, 0, 3, 0, 0, 0], array=True),
    "pal2_5x2.bmp": bmp(5, 2, 2, [0x1B, 0x40, 0, 0, 0xE4, 0xC0, 0, 0], table=GREYS4),
    "pal8_rle_delta.bmp": bmp(4, 3, 8, [1, 1, 0, 2, 2, 0, 1, 1, 0, 0, 0, 2, 1, 1, 1, 1, 0, 0, 0, 2, 0, 0, 0, 1],
                              compression=1, table=GREYS4),
    "pal4_rle_delta.bmp": bmp(4, 3, 4, [1, 0x11, 0, 2, 2, 0, 1, 0x22, 0, 0, 0, 2, 1, 1, 1, 0x33, 0, 1],
                              compression=2, table=GREYS4),
    "rgb32_r_b_g_masks.bmp": bmp(2, 1, 32, [0x40, 0x03, 0x56, 0x12, 1, 2, 3, 4], compression=3,
                                 masks=(0xFF000000, 0x00000FF0, 0x00FF0000)),
    "rgb32_xrgb.bmp": bmp(2, 1, 32, [0x99, 0x56, 0x34, 0x12, 1, 2, 3, 4], compression=3,
                          masks=(0xFF000000, 0x00FF0000, 0x0000FF00)),
    "rgba32_1010102_v5.bmp": bmp(2, 1, 32, [0, 0, 0xF8, 0x7F, 1, 2, 3, 4], compression=3, header_size=124,
                                 masks=(0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000)),
    "rgba32_alphabitfields.bmp": bmp(2, 1, 32, [0x56, 0x34, 0x12, 0x80, 1, 2, 3, 4], compression=6,
                                     masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000)),
    "rgb32_7_18_7.bmp": bmp(2, 1, 32, [0xC0, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4], compression=3,
                            masks=(0xFE000000, 0x01FFFF80, 0x0000007F)),
    "rgba16_4444_v5.bmp": bmp(2, 1, 16, [0x3C, 0x8F, 0x12, 0x34], compression=3, header_size=124,
                              masks=(0x0F00, 0x00F0, 0x000F, 0xF000)),
    "rgb16_231.bmp": bmp(2, 1, 16, [0x2B, 0, 0x15, 0], compression=3, masks=(0x30, 0x0E, 0x01)),
    # Broken on purpose.
    "bad_mask_gaps.bmp": bmp(1, 1, 16, [0, 0, 0, 0], compression=3, masks=(0x0F0F, 0xF0, 0)),
    "bad_delta_outside.bmp": bmp(4, 2, 8, [0, 2, 5, 0, 0, 1], compression=1, table=GREYS4),
    "bad_truncated.bmp": bmp(8, 8, 24, [1, 2, 3]),
    "bad_delta.bmp": bmp(4, 2, 8, [2, 1, 0, 2, 1, 1, 0, 1], compression=1, table=GREYS4),
    "bad_rle_overrun.bmp": bmp(2, 2, 8, [200, 1, 0, 0, 255, 2, 0, 0, 255, 3, 0, 0, 0, 1], compression=1,
                               table=GREYS4),
    "bad_offset.bmp": bmp(2, 1, 24, [1, 2, 3, 4, 5, 6, 0, 0], pixel_offset=20),
    "bad_dimensions.bmp": bmp(60000, -60000, 24, [1, 2, 3, 0]),
    "bad_headersize.bmp": bmp(2, 1, 24, [1, 2, 3, 4, 5, 6, 0, 0], header_size=12),
    "bad_bitcount.bmp": bmp(2, 1, 2, [0, 0, 0, 0], table=GREYS4),
    "bad_palettesize.bmp": bmp(2, 1, 8, [0, 0, 0, 0], table=GREYS4, colours_used=0x40000000),
}

# One short stub per other format, so the detection's every branch is a seed.
OTHER_FORMATS = {
    "stub_tga.tga": bytes([0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0]) + bytes(range(6)),
    "stub_gif.gif": b"GIF89a\x01\x00\x01\x00\x00\x00\x00;",
    "stub_tiff.tif": b"II*\x00\x08\x00\x00\x00\x00\x00",
    "stub_pict.pct": bytes(522) + b"\x00\x11\x02\xff" + bytes(30),
    "stub_jpeg.jpg": b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xd9",
    "stub_png.png": b"\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x00\x00\x01\x00\x00\x00\x01\x08\x00\x00\x00\x00",
    "stub_eps.eps": b"\xc5\xd0\xd3\xc6" + struct.pack("<IIIIII", 32, 0, 0, 0, 32, 10) + b"\xff\xff" + bytes(2)
                    + b"II*\x00\x08\x00\x00\x00\x00\x00",
    "stub_pcx.pcx": bytes([0x0A, 5, 1, 8]) + bytes(124) + bytes([0xC2, 7, 9]),
    "stub_pgm.pgm": b"P5\n2 2\n255\n\x00\x40\x80\xff",
}


def write(folder, files):
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    write(os.path.join(HERE, "seeds", "bmp"), SEEDS)
    write(os.path.join(HERE, "seeds", "any_format"), SEEDS)
    write(os.path.join(HERE, "seeds", "any_format"), OTHER_FORMATS)
