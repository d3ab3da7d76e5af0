#!/usr/bin/env python3
"""Makes the .bmp files of imagemagick_test.cpp with ImageMagick 6 (convert,
compare): a 13x7 plasma (13 pixels, so rows of every depth need padding), as
each producer writes it, some rewritten into the shapes other producers write
(top-down, V4 header, masks after a 40-byte header). Every rewritten file is
checked with compare to show the same picture as the one it came from."""
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
