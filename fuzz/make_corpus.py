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


def side_code(side):
    """The header byte for an even picture side of 72..262 pixels, or any of 8..71."""
    return 8 + 2 * (side - 8) if side < 72 else 128 + (side - 72) // 2


def pixel_road_seeds():
    """Header: flags (bit 0 symbol road, bits 1-2 handover, bits 3-4 pixel format, bit 5 UTF-8
    conversion), width and height codes. Raw road: the pixels follow. Symbol road: level and
    mask, version, module size and quiet zone, place, edit count, 8 bytes per edit, the text."""
    # Raw road: a segno symbol drawn at 2 pixels per module, grey, and as BGR pixels.
    qr = segno.make("raw pixels", version=2, error="M", micro=False)
    rows = [list(r) for r in qr.matrix]
    side = (len(rows) + 8) * 2
    grey = []
    for y in range(side):
        for x in range(side):
            my, mx = y // 2 - 4, x // 2 - 4
            dark = 0 <= my < len(rows) and 0 <= mx < len(rows) and rows[my][mx]
            grey.append(0 if dark else 255)
    write("pixel_road", "raw_grey_symbol", [0, side_code(side), side_code(side)] + grey)
    write("pixel_road", "raw_bgr_symbol_row_table", [2 | 2 << 3, side_code(side), side_code(side)]
          + [v for g in grey for v in (g, g, g)])
    write("pixel_road", "raw_stripes_padded", [4, 100, 37] + list(range(0, 256, 3)))

    def symbol(name, flags, level, mask, version, module, quiet, place, edits, text):
        header = [1 | flags, 192, 192, level | mask << 2, version, (module - 1) | quiet << 3, place[0], place[1],
                  len(edits)]
        write("pixel_road", name, header + [b for e in edits for b in e] + list(text))

    symbol("clean_v1", 0, 1, 8, 0, 4, 4, (128, 128), [], b"HELLO WORLD")
    symbol("clean_v7_mirrored_light_on_dark", 2 << 1, 2, 3, 7, 3, 4, (0, 255), [], b"https://velmora.org/?q=1")
    symbol("clean_bgra_v3", 3 << 3, 0, 5, 3, 2, 4, (200, 40), [], "品质 quality".encode("utf-8"))
    symbol("line_block_noise", 0, 3, 8, 0, 4, 2, (100, 100),
           [[0, 20, 30, 220, 200, 128, 3, 1], [1, 120, 120, 30, 30, 0, 0, 0], [2, 7, 8, 9, 60, 2, 0, 0]],
           b"damaged")
    symbol("turned_blurred", 0, 1, 8, 2, 3, 4, (128, 128), [[3, 40, 0, 120, 0, 0, 0, 0], [4, 2, 0, 0, 0, 0, 0, 0]],
           b"turned 56 degrees")
    symbol("two_symbols_copied", 0, 1, 8, 1, 2, 4, (0, 0), [[5, 0, 0, 150, 150, 100, 100, 0]], b"twice")
    symbol("perspective_uneven_light", 0, 1, 8, 3, 3, 4, (128, 128),
           [[7, 150, 110, 140, 100, 0, 0, 0], [6, 1, 255, 90, 16, 0, 0, 0]], b"a photograph")


if __name__ == "__main__":
    reader_seeds()
    segment_seeds()
    picture_seeds()
    pixel_road_seeds()
    for target in sorted(os.listdir(CORPUS)):
        print(target, len(os.listdir(os.path.join(CORPUS, target))), file=sys.stderr)
