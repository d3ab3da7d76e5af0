#!/usr/bin/env python3
"""Makes the .bmp files of imagemagick_test.cpp with ImageMagick 6 (convert,
compare): a 13x7 plasma (13 pixels, so rows of every depth need padding), as
each producer writes it, some rewritten into the shapes other producers write
(top-down, V4 header, masks after a 40-byte header), and the layouts that
ImageMagick does not write built here field by field from its pixels (bit
fields with a colour table, a gap before the pixels, an OS/2 2.x header,
alpha bit fields). Every file but the alpha bit fields, which ImageMagick 6
cannot read, is checked with compare to show the plasma."""
import os, struct, subprocess, sys, tempfile

here = os.path.dirname(os.path.abspath(__file__))
tmp = tempfile.mkdtemp()
photo, alpha = os.path.join(tmp, "photo.png"), os.path.join(tmp, "alpha.png")
run = lambda *a: subprocess.run(a, check=True, capture_output=True, text=True)
run("convert", "-seed", "7", "-size", "13x7", "plasma:", photo)
run("convert", photo, "-alpha", "set", "-channel", "A", "-fx", "(i+j)/20", "+channel", alpha)

def reshape(b, shape):
    off = struct.unpack_from("<I", b, 10)[0]
    if shape == "as made": return b
    if shape == "top-down":
        w, h, bits = struct.unpack_from("<iiH", b, 18)[0], struct.unpack_from("<i", b, 22)[0], struct.unpack_from("<H", b, 28)[0]
        stride = (w * bits + 31) // 32 * 4
        rows = [b[off + r * stride: off + (r + 1) * stride] for r in range(h)]
        out = bytearray(b[:off]) + b"".join(reversed(rows)) + b[off + h * stride:]
        struct.pack_into("<i", out, 22, -h)
        return bytes(out)
    head = bytearray(b[:14 + (108 if shape == "V4" else 52)])
    struct.pack_into("<I", head, 14, 108 if shape == "V4" else 40)
    out = head + b[off:]
    struct.pack_into("<I", out, 2, len(out)); struct.pack_into("<I", out, 10, len(head))
    return bytes(out)

producers = [  # file, source, convert options, output prefix, shape
    ("1bit", photo, ["-type", "bilevel"], "BMP3:", "as made"),
    ("4bit", photo, ["-colors", "12", "-type", "palette", "-compress", "None"], "BMP3:", "as made"),
    ("8bit", photo, ["-colors", "60", "-type", "palette", "-compress", "None"], "BMP3:", "as made"),
    ("8bit-rle", photo, ["-colors", "60", "-type", "palette", "-compress", "RLE"], "BMP3:", "as made"),
    ("24bit", photo, ["-type", "truecolor"], "BMP3:", "as made"),
    ("32bit", alpha, ["-define", "bmp3:alpha=true"], "BMP3:", "as made"),
    ("24bit-topdown", photo, ["-type", "truecolor"], "BMP3:", "top-down"),
    ("8bit-topdown", photo, ["-colors", "60", "-type", "palette", "-compress", "None"], "BMP3:", "top-down"),
    ("24bit-v5", photo, ["-type", "truecolor"], "BMP:", "as made"),
    ("8bit-v5", photo, ["-colors", "60", "-type", "palette", "-compress", "None", "-define", "bmp:format=bmp4"], "", "as made"),
    ("24bit-v4", photo, ["-type", "truecolor"], "BMP:", "V4"),
    ("32bit-masks", alpha, [], "BMP:", "masks"),
    ("16bit-565-masks", photo, ["-define", "bmp:subtype=RGB565"], "BMP:", "masks"),
    ("32bit-v5-masks", alpha, [], "BMP:", "as made"),
    ("16bit-565-v5-masks", photo, ["-define", "bmp:subtype=RGB565"], "BMP:", "as made"),
    ("32bit-v4-masks", alpha, [], "BMP:", "V4"),
]
for name, source, options, prefix, shape in producers:
    made = os.path.join(tmp, name + ".bmp")
    run("convert", *([source] if source else []), *options, prefix + made)
    b = reshape(open(made, "rb").read(), shape)
    out = os.path.join(here, name + ".bmp")
    open(out, "wb").write(b)
    if shape != "as made":  # a 40-byte header has no alpha mask: compare the colours only
        r = subprocess.run(["compare", "-metric", "AE"] + (["-alpha", "off"] if shape == "masks" else []) + [made, out, "null:"], capture_output=True, text=True)
        if r.stderr.split(" ")[0] != "0": sys.exit(f"{name}: reshaped file shows another picture ({r.stderr})")

# OS/2 core headers, as ImageMagick's BMP2 writer makes them.
for name, options in [("core-8bit", ["-colors", "60", "-type", "palette"]), ("core-24bit", ["-type", "truecolor"])]:
    run("convert", photo, *options, "BMP2:" + os.path.join(here, name + ".bmp"))

w, h = 13, 7
def pixels_of(name):  # the pixel bytes of a file made above
    made = open(os.path.join(here, name + ".bmp"), "rb").read()
    return made[struct.unpack_from("<I", made, 10)[0]:]
def info(size, bits, compression, pixels, clr_used=0):
    return struct.pack("<IiiHHIIiiII", size, w, h, 1, bits, compression, len(pixels), 2835, 2835, clr_used, 0) + bytes(size - 40)
def bmp(name, dib, off_bits):
    open(os.path.join(here, name + ".bmp"), "wb").write(b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, off_bits) + dib)
bgr, p565 = pixels_of("24bit"), pixels_of("16bit-565-masks")
stride = (w * 24 + 31) // 32 * 4
argb = b"".join(bgr[y * stride + x * 3:y * stride + x * 3 + 3] + b"\xff" for y in range(h) for x in range(w))
masks = struct.pack("<IIII", 0xF800, 0x07E0, 0x001F, 0)
bmp("16bit-565-masks-table", info(40, 16, 3, p565, 256) + masks[:12] + bytes(range(256)) * 4 + p565, 14 + 52 + 1024)
bmp("24bit-gap", info(40, 24, 0, bgr) + b"\xAA" * 6 + bgr, 14 + 46)
bmp("24bit-os2v2", info(64, 24, 0, bgr) + bgr, 14 + 64)
bmp("32bit-alphabitfields", info(40, 32, 6, argb) + struct.pack("<IIII", 0xFF0000, 0xFF00, 0xFF, 0xFF000000) + argb, 14 + 56)
for name, like in [("core-8bit", "8bit"), ("core-24bit", "24bit"), ("16bit-565-masks-table", "16bit-565-masks"), ("24bit-gap", "24bit"), ("24bit-os2v2", "24bit")]:
    r = subprocess.run(["compare", "-metric", "AE", os.path.join(here, name + ".bmp"), os.path.join(here, like + ".bmp"), "null:"], capture_output=True, text=True)
    if r.stderr.split(" ")[0] != "0": sys.exit(f"{name}: shows another picture ({r.stderr})")
