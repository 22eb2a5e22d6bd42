#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Seeds are small and real: symbol matrices from segno, segment streams of every mode, and
picture files of every type our own readers handle, written by ImageMagick (or, for the SKA
type it does not know, by hand). Run it again after changing a target's input layout; the
campaigns' findings are merged into the same folders afterwards (see fuzz/README.md).
"""
import os
import subprocess
import sys
import tempfile

import segno

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
STRIDE = 177


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(data))


def reader_seeds():
    """Raw road: byte 0 even, version, size, then the matrix bit-packed column by column
    (1 dark). Symbol road: byte 0 odd, level/version, mask, damage count, flips, text."""
    samples = [("HELLO WORLD", 1, "M", 0), ("0123456789" * 3, 2, "L", 3), ("https://velmora.org/a?b=c", 3, "Q", 5),
               ("品质 quality", 5, "H", 6), ("x" * 200, 10, "L", 2)]
    for text, version, level, mask in samples:
        qr = segno.make(text, version=version, error=level, mask=mask, micro=False, boost_error=False)
        rows = [list(r) for r in qr.matrix]
        side = len(rows)
        bits = bytearray((STRIDE * (side - 1) + side + 7) // 8)
        for x in range(side):
            for y in range(side):
                if rows[y][x]:
                    i = x * STRIDE + y
                    bits[i // 8] |= 1 << (i % 8)
        write("reader", f"raw_v{version}_{level}_{mask}", [0, version - 1, side] + list(bits))
    levels = {"L": 0, "M": 1, "Q": 2, "H": 3}
    for text, version, level, mask in samples:
        data = text.encode("utf-8")
        seed = [1, levels[level] | (version << 2), mask, 0] + list(data)
        write("reader", f"symbol_v{version}_{level}_{mask}", seed)
    # A mirrored symbol with a few flipped modules.
    write("reader", "symbol_mirrored_damaged", [3, 1 | (4 << 2), 8 | 2, 3, 5, 9, 12, 3, 20, 20] + list(b"damage"))


class Bits:
    def __init__(self):
        self.bits = []

    def put(self, value, count):
        self.bits += [(value >> (count - 1 - i)) & 1 for i in range(count)]

    def stream(self, version):
        unused = (-len(self.bits)) % 8
        padded = self.bits + [0] * unused
        if unused > 3:  # only two bits say how many are unused: pad with zero bits instead
            unused = 0
        data = [int("".join(map(str, padded[i:i + 8])), 2) for i in range(0, len(padded), 8)]
        # The target takes the version as 1 + byte % 40 and the unused bits from bits 6-7.
        return [unused * 64 + (version - 1 - unused * 64) % 40] + data


def segment_seeds():
    """Byte 0: the version and the unused bits of the last byte; then the stream."""
    alnum = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:"

    def numeric(b, digits, count_bits):
        b.put(1, 4)
        b.put(len(digits), count_bits)
        for i in range(0, len(digits), 3):
            group = digits[i:i + 3]
            b.put(int(group), {3: 10, 2: 7, 1: 4}[len(group)])

    def alphanumeric(b, text, count_bits):
        b.put(2, 4)
        b.put(len(text), count_bits)
        for i in range(0, len(text), 2):
            pair = text[i:i + 2]
            if len(pair) == 2:
                b.put(alnum.index(pair[0]) * 45 + alnum.index(pair[1]), 11)
            else:
                b.put(alnum.index(pair), 6)

    def byte(b, data, count_bits):
        b.put(4, 4)
        b.put(len(data), count_bits)
        for c in data:
            b.put(c, 8)

    def double_byte(b, mode, pairs, count_bits, subset=None):
        b.put(mode, 4)
        if subset is not None:
            b.put(subset, 4)
        b.put(len(pairs), count_bits)
        for value in pairs:
            b.put(value, 13)

    for version, (nb, ab, bb, kb) in [(1, (10, 9, 8, 8)), (10, (12, 11, 16, 10)), (27, (14, 13, 16, 12))]:
        b = Bits()
        numeric(b, "01234567", nb)
        alphanumeric(b, "AC-42", ab)
        byte(b, "héllo".encode("utf-8"), bb)
        b.put(0, 4)
        write("segment_parser", f"mixed_v{version}", b.stream(version))
        b = Bits()
        double_byte(b, 8, [0x0000, 0x1AAA], kb)  # Kanji: Shift JIS 0x8140, 0xE4AA
        b.put(7, 4)                              # ECI 26, UTF-8
        b.put(26, 8)
        byte(b, "→".encode("utf-8"), bb)
        double_byte(b, 13, [0x03C1], kb, subset=1)  # Hanzi: GB 2312 0xB0A1
        b.put(0, 4)
        write("segment_parser", f"kanji_eci_hanzi_v{version}", b.stream(version))
    b = Bits()
    b.put(3, 4)  # structured append header, then a byte segment
    b.put(0x01, 8)
    b.put(0x5A, 8)
    byte(b, b"part", 8)
    write("segment_parser", "structured_append_v1", b.stream(1))
    b = Bits()
    b.put(5, 4)  # FNC1 in first position
    alphanumeric(b, "01%", 9)
    write("segment_parser", "fnc1_no_terminator_v1", b.stream(1))


def picture_seeds():
    """Byte 0 picks the reader (0 PCX, 1 Targa, 2 WBMP, 3 PGX, 4 SKA, 5 Sun raster, 6 icon,
    7 GIF); the rest is a picture file of that type."""
    with tempfile.TemporaryDirectory() as work:
        png = os.path.join(work, "symbol.png")
        segno.make("velmora", error="M").save(png, scale=2, border=2)
        photo = os.path.join(work, "photo.png")
        subprocess.run(["convert", "-size", "24x16", "gradient:red-blue", photo], check=True)
        jobs = [
            (0, "pcx_palette", png, ["-type", "Palette"], "pcx"),
            (0, "pcx_truecolor", photo, ["-type", "TrueColor"], "pcx"),
            (1, "tga_rle", photo, ["-compress", "RLE"], "tga"),
            (1, "tga_grey", png, ["-type", "Grayscale", "-compress", "None"], "tga"),
            (2, "wbmp", png, [], "wbmp"),
            (3, "pgx", png, ["-depth", "8", "-colorspace", "Gray"], "pgx"),
            (5, "sun_rle", photo, ["-compress", "RLE"], "sun"),
            (5, "sun_mono", png, ["-monochrome"], "sun"),
            (6, "ico", photo, [], "ico"),
            (7, "gif", png, [], "gif"),
            (7, "gif_interlaced", photo, ["-interlace", "GIF"], "gif"),
        ]
        for selector, name, source, options, kind in jobs:
            out = os.path.join(work, f"{name}.{kind}")
            subprocess.run(["convert", source] + options + [f"{kind}:{out}"], check=True)
            with open(out, "rb") as f:
                write("picture_files", name, [selector] + list(f.read()))
    # SKA: 16-bit width and height, a type byte, a 32-bit zero, 256 BGRA palette entries,
    # then one index byte per pixel.
    width, height = 12, 6
    ska = [width & 255, width >> 8, height & 255, height >> 8, 3, 0, 0, 0, 0]
    for i in range(256):
        ska += [i, 255 - i, i // 2, 0]
    ska += [(x * 21 + y * 7) & 255 for y in range(height) for x in range(width)]
    write("picture_files", "ska", [4] + ska)


if __name__ == "__main__":
    reader_seeds()
    segment_seeds()
    picture_seeds()
    for target in sorted(os.listdir(CORPUS)):
        print(target, len(os.listdir(os.path.join(CORPUS, target))), file=sys.stderr)
