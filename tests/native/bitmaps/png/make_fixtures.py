#!/usr/bin/env python3
"""Makes the PNG files of the PNG conversion tests with ImageMagick 6: every
colour type and bit depth, interlaced, palettes with transparency, 1 x 1, odd
widths and a large picture; beside each NAME.png, NAME.rgba holds its pixels
as ImageMagick decodes them (8-bit straight RGBA, rows top-down; 16-bit
samples rounded to the nearest 8-bit value), which the tests take as the truth
both platforms' codecs must agree with."""
import os, struct, subprocess, zlib

here = os.path.dirname(os.path.abspath(__file__))
run = lambda *a: subprocess.run(a, check=True, capture_output=True)
plasma = ["-seed", "7", "-size", "13x7", "plasma:"]
alpha = ["-alpha", "set", "-channel", "A", "-fx", "(i+j)/20", "+channel"]
holes = ["-alpha", "set", "-channel", "A", "-fx", "i%3==0?0:1", "+channel"]
fixtures = {  # name: source, then output options
    "gray1": (plasma, ["-colorspace", "gray", "-define", "png:bit-depth=1", "-define", "png:color-type=0"]),
    "gray2": (plasma, ["-colorspace", "gray", "-define", "png:bit-depth=2", "-define", "png:color-type=0"]),
    "gray4": (plasma, ["-colorspace", "gray", "-define", "png:bit-depth=4", "-define", "png:color-type=0"]),
    "gray8": (plasma, ["-colorspace", "gray", "-define", "png:bit-depth=8", "-define", "png:color-type=0"]),
    "gray16": (plasma, ["-colorspace", "gray", "-define", "png:bit-depth=16", "-define", "png:color-type=0"]),
    "graya8": (plasma + alpha, ["-colorspace", "gray", "-define", "png:bit-depth=8", "-define", "png:color-type=4"]),
    "graya16": (plasma + alpha, ["-colorspace", "gray", "-define", "png:bit-depth=16", "-define", "png:color-type=4"]),
    "rgb8": (plasma, ["-define", "png:bit-depth=8", "-define", "png:color-type=2"]),
    "rgb16": (plasma, ["-define", "png:bit-depth=16", "-define", "png:color-type=2"]),
    "rgba8": (plasma + alpha, ["-define", "png:bit-depth=8", "-define", "png:color-type=6"]),
    "rgba16": (plasma + alpha, ["-define", "png:bit-depth=16", "-define", "png:color-type=6"]),
    "pal1": (plasma, ["-colors", "2", "-define", "png:bit-depth=1", "-define", "png:color-type=3"]),
    "pal2": (plasma, ["-colors", "4", "-define", "png:bit-depth=2", "-define", "png:color-type=3"]),
    "pal4": (plasma, ["-colors", "12", "-define", "png:bit-depth=4", "-define", "png:color-type=3"]),
    "pal8": (plasma, ["-colors", "60", "-define", "png:bit-depth=8", "-define", "png:color-type=3"]),
    "pal8-trns": (plasma + holes, ["-colors", "30", "PNG8:"]),
    "rgb8-gamma": (plasma, ["-define", "png:bit-depth=8", "-define", "png:color-type=2", "KEEP:"]),
    "rgba8-interlaced": (plasma + alpha, ["-interlace", "PNG", "-define", "png:bit-depth=8", "-define", "png:color-type=6"]),
    "rgb16-interlaced": (plasma, ["-interlace", "PNG", "-define", "png:bit-depth=16", "-define", "png:color-type=2"]),
    "one-pixel": (["-size", "1x1", "xc:#3a7"], ["-define", "png:color-type=2"]),
    "large": (["-size", "1601x1203", "gradient:navy-gold", "-swirl", "200"], ["-define", "png:bit-depth=8", "-define", "png:color-type=2"]),
}
def with_trns(png, sample):
    """The file with a tRNS chunk making the colour of its first pixel transparent."""
    chunk = b"tRNS" + sample
    at = png.index(b"IDAT") - 4
    return png[:at] + struct.pack(">I", len(sample)) + chunk + struct.pack(">I", zlib.crc32(chunk)) + png[at:]

def first_pixel(png, map_, depth):
    raw = subprocess.run(["convert", png, "-depth", str(depth), map_ + ":-"], check=True, capture_output=True).stdout
    return raw[:(1 if map_ == "gray" else 3) * depth // 8]

for name, (source, options) in fixtures.items():
    png = os.path.join(here, name + ".png")
    prefix = options[-1] if options and options[-1].endswith(":") else ""
    options = options[:-1] if prefix else options
    strip = [] if prefix == "KEEP:" else ["-strip"]
    run("convert", *source, *options, *strip, ("" if prefix == "KEEP:" else prefix) + png)
    wide = subprocess.run(["convert", png, "-depth", "16", "-endian", "LSB", "rgba:-"], check=True, capture_output=True).stdout
    rgba = bytes((v * 255 + 32767) // 65535 for v in struct.unpack("<%dH" % (len(wide) // 2), wide))
    if len(rgba) <= 4096:
        open(os.path.join(here, name + ".rgba"), "wb").write(rgba)
    else:  # too large to keep: its 64-bit FNV-1a hash stands for it
        h = 0xcbf29ce484222325
        for byte in rgba:
            h = ((h ^ byte) * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF
        open(os.path.join(here, name + ".fnv"), "w").write("%016x\n" % h)

# Colour keys: a tRNS chunk added by hand, as ImageMagick writes none for these.
for name, source, map_, depth in [("gray8-trns", "gray8", "gray", 8), ("rgb8-trns", "rgb8", "rgb", 8)]:
    png = os.path.join(here, source + ".png")
    sample = first_pixel(png, map_, depth)
    if depth == 8:
        sample = b"".join(b"\0" + bytes([v]) for v in sample)
    data = with_trns(open(png, "rb").read(), sample)
    out = os.path.join(here, name + ".png")
    open(out, "wb").write(data)
    rgba = subprocess.run(["convert", out, "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
    if all(rgba[i] == 255 for i in range(3, len(rgba), 4)): raise SystemExit(name + ": the key made nothing transparent")
    open(os.path.join(here, name + ".rgba"), "wb").write(rgba)
