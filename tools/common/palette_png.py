"""The game palette and a PNG writer for the data generators (standard library only)."""
import struct
import zlib

# The game palette (index 1..32), 0xRRGGBB.
PALETTE = [None,
           0xBE4A2F, 0xD87644, 0xEAD4AA, 0xE4A672, 0xB86F50, 0x743F39, 0x3F2832, 0x9E2835,
           0xE43B44, 0xF77622, 0xFEAE34, 0xFEE761, 0x63C74D, 0x3E8948, 0x265C42, 0x193C3E,
           0x124E89, 0x0095E9, 0x2CE8F5, 0xFFFFFF, 0xC0CBDC, 0x8B9BB4, 0x5A6988, 0x3A4466,
           0x262B44, 0xFF0044, 0x181425, 0x68386C, 0xB55088, 0xF6757A, 0xE8B796, 0xC28569]


def palette_colour(i):
    """0xAARRGGBB of palette index i; index 0 is fully transparent."""
    return (0xFF000000 | PALETTE[i]) if i else 0


def write_png(path, rows):
    """Writes an 8-bit RGBA PNG. rows: top row first, each a list of 0xAARRGGBB values."""
    h, w = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + b"".join(struct.pack(">BBBB", (p >> 16) & 255, (p >> 8) & 255, p & 255, p >> 24)
                                      for p in row) for row in rows)

    def chunk(kind, data):
        c = kind + data
        return struct.pack(">I", len(data)) + c + struct.pack(">I", zlib.crc32(c) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)
