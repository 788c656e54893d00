#!/usr/bin/env bash
# Makes the hostile-file corpus in this folder: damaged, lying, extreme and unusual picture files that
# the loader must either read correctly or refuse with a clear message. The files are committed, so
# this is only needed to change the corpus. Needs ImageMagick's convert, cjpeg and python3 (byte surgery).
# Each file's expected outcome is in EXPECTED.tsv beside it; keep the two in step.
set -euo pipefail
cd "$(dirname "$0")"
command -v convert >/dev/null || { echo "needs ImageMagick's convert" >&2; exit 1; }
command -v python3 >/dev/null || { echo "needs python3" >&2; exit 1; }
command -v cjpeg >/dev/null || { echo "needs cjpeg (libjpeg-turbo-progs)" >&2; exit 1; }

# Files fuzzing found are kept as they were found rather than made here.
find . -maxdepth 1 -type f ! -name make_corpus.sh ! -name EXPECTED.tsv \
  ! -name jpeg-huffman-table-number-past-the-four.jpg -delete
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# No timestamps or comments in the output, so that a re-run gives the same bytes.
quiet=(-strip -define "png:exclude-chunks=date,time")

# Sources: a smooth gradient, and the upright marker picture (60 x 40, white, a red L along the left
# and bottom edges, a blue block in the top-right corner) whose corners tell every flip and turn apart.
convert -size 200x150 gradient:red-blue \( -size 150x200 gradient:lime-black -rotate -90 \) \
   -compose Screen -composite -depth 8 "${quiet[@]}" PNG24:"$work/gradient.png"
convert -size 60x40 xc:white -fill red -draw 'rectangle 0,0 14,39' -draw 'rectangle 0,26 59,39' \
   -fill blue -draw 'rectangle 45,0 59,13' "${quiet[@]}" "$work/marker.png"

# Zero-byte files with every extension the program lists or opens.
for ext in jpg jpeg bmp gif png; do : >"empty.$ext"; done

# Not a picture at all.
printf 'This is a text file, not a picture.\n' >text-named.jpg
printf '<html><body>not a picture</body></html>\n' >html-named.png

# Good baselines of each format (also cut below).
convert "$work/gradient.png" "${quiet[@]}" -quality 90 good-gradient.jpg
convert "$work/gradient.png" "${quiet[@]}" PNG24:good-gradient.png
convert "$work/gradient.png" "${quiet[@]}" -colors 64 good-gradient.gif
convert "$work/gradient.png" "${quiet[@]}" BMP3:good-gradient.bmp
convert "$work/gradient.png" "${quiet[@]}" -interlace JPEG -quality 90 good-progressive.jpg

# Extremes of size and unusual colour layouts.
convert -size 1x1 xc:'#336699' "${quiet[@]}" one-pixel.png
convert -size 1x1 xc:'#336699' "${quiet[@]}" one-pixel.jpg
convert -size 1x1 xc:'#336699' "${quiet[@]}" BMP3:one-pixel.bmp
convert -size 1x1 xc:'#336699' "${quiet[@]}" one-pixel.gif
# ImageMagick's policy here refuses sides over 16000, so these two are written by hand and by cjpeg.
python3 -c 'import struct, zlib, sys
row = lambda y: b"\0" + bytes((255 - y * 255 // 19999, 0, y * 255 // 19999))
body = zlib.compress(b"".join(row(y) for y in range(20000)), 9)
chunk = lambda k, b: struct.pack(">I", len(b)) + k + b + struct.pack(">I", zlib.crc32(k + b))
sys.stdout.buffer.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 20000, 8, 2, 0, 0, 0))
                        + chunk(b"IDAT", body) + chunk(b"IEND", b""))' >tall-1x20000.png
{ printf 'P6\n20000 1\n255\n'; python3 -c 'import sys; sys.stdout.buffer.write(bytes([32, 160, 64]) * 20000)'; } |
  cjpeg -quality 80 >wide-20000x1.jpg
convert "$work/gradient.png" "${quiet[@]}" -colorspace CMYK -quality 90 cmyk.jpg
convert "$work/gradient.png" "${quiet[@]}" -colorspace Gray -quality 90 greyscale.jpg
convert "$work/gradient.png" "${quiet[@]}" -depth 16 PNG48:deep-16bit.png
convert "$work/gradient.png" "${quiet[@]}" \( -size 200x150 gradient:white-black \) -alpha off \
   -compose CopyOpacity -composite PNG32:transparent.png
convert -size 40x30 xc:red xc:lime xc:blue "${quiet[@]}" -set delay 20 -loop 0 animated.gif

# The marker stored turned or mirrored by the inverse of EXIF orientation 1 to 8, without any EXIF yet.
convert "$work/marker.png" -type TrueColor BMP3:"$work/marker.bmp"
turns=("" "-flop" "-rotate 180" "-flip" "-transpose" "-rotate -90" "-transverse" "-rotate 90")
for n in 1 2 3 4 5 6 7 8; do
  # shellcheck disable=SC2086  # the turn is one or two words
  convert "$work/marker.png" ${turns[n-1]} "${quiet[@]}" -quality 95 "$work/stored-$n.jpg"
done

# Cheap to send, costly to decode: a progressive 6000 x 4000 JPEG to repeat a scan of, and small
# arithmetic-coded JPEGs (colour and CMYK) to claim a huge size with.
{ printf 'P6\n6000 4000\n255\n'; python3 -c 'import sys; sys.stdout.buffer.write(bytes([120, 130, 140]) * 24000000)'; } |
  cjpeg -progressive -quality 75 >"$work/flat-progressive.jpg"
convert -size 16x16 xc:'#336699' "${quiet[@]}" PPM:- | cjpeg -arithmetic -progressive >"$work/arithmetic.jpg"
convert -size 16x16 xc:'#336699' "${quiet[@]}" -colorspace CMYK "$work/cmyk-small.jpg"
jpegtran -arithmetic -progressive "$work/cmyk-small.jpg" >"$work/arithmetic-cmyk.jpg"

# Byte surgery: truncations, lying headers, top-down and damaged BMPs, EXIF orientations.
python3 - "$work" <<'PY'
import base64, struct, sys, zlib

work = sys.argv[1]
read = lambda p: open(p, "rb").read()
def write(name, data):
    with open(name, "wb") as f:
        f.write(data)

def jpeg_all_segments(data):
    """(marker, offset) of every segment, the coded data after each start of scan skipped."""
    at, out = 2, []
    while at + 4 <= len(data):
        marker = data[at + 1]
        if marker == 0xD9:
            break
        out.append((marker, at))
        at += 2 + struct.unpack(">H", data[at + 2:at + 4])[0]
        if marker == 0xDA:
            while at + 1 < len(data) and not (data[at] == 0xFF and data[at + 1] not in (0,) + tuple(range(0xD0, 0xD8))):
                at += 1
    return out
jpeg_scan_count = lambda data: sum(1 for marker, _ in jpeg_all_segments(data) if marker == 0xDA)

def jpeg_segments(data):
    """(marker, offset) of each segment up to and including the start of scan."""
    at, out = 2, []
    while at < len(data):
        marker = data[at + 1]
        out.append((marker, at))
        if marker == 0xDA:
            break
        at += 2 + struct.unpack(">H", data[at + 2:at + 4])[0]
    return out

# Truncated JPEG: inside the header, just before and just after the start of scan, mid-scan, no EOI.
jpg = read("good-gradient.jpg")
sos = dict(jpeg_segments(jpg))[0xDA]
for name, cut in [("header-4", 4), ("header-30", 30), ("before-scan", sos - 6),
                  ("scan-start", sos + 20), ("scan-half", len(jpg) // 2), ("no-eoi", len(jpg) - 2)]:
    write(f"truncated-{name}.jpg", jpg[:cut])
prog = read("good-progressive.jpg")
write("truncated-progressive-half.jpg", prog[:len(prog) // 2])

# Truncated PNG: signature only, inside IHDR, after IHDR, mid-IDAT, no IEND.
png = read("good-gradient.png")
for name, cut in [("signature", 8), ("ihdr", 20), ("after-ihdr", 33), ("data-half", len(png) // 2),
                  ("no-iend", len(png) - 12)]:
    write(f"truncated-{name}.png", png[:cut])

# Truncated GIF: inside the screen descriptor, after the palette, mid-image, no trailer.
gif = read("good-gradient.gif")
for name, cut in [("screen", 8), ("palette", 13 + 3 * 64 + 4), ("data-half", len(gif) // 2),
                  ("no-trailer", len(gif) - 1)]:
    write(f"truncated-{name}.gif", gif[:cut])

# A JPEG whose frame header claims 65500 x 65500.
sof = dict(jpeg_segments(jpg))[0xC0]
huge = bytearray(jpg)
huge[sof + 5:sof + 9] = struct.pack(">HH", 65500, 65500)
write("claims-65500x65500.jpg", huge)

# A PNG whose IHDR claims 100000 x 100000, with the chunk's CRC made right again.
def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
ihdr = bytearray(png[16:29])
ihdr[0:8] = struct.pack(">II", 100000, 100000)
write("claims-100000x100000.png", png[:8] + png_chunk(b"IHDR", bytes(ihdr)) + png[33:])

# A GIF with a 65535 x 65535 logical screen around its small frame.
screen = bytearray(read("one-pixel.gif"))
screen[6:10] = struct.pack("<HH", 65535, 65535)
write("huge-screen.gif", screen)

# BMPs: top-down rows (negative height) that must still come out upright, a bogus file-size field,
# a bogus image-size field, and a header that claims 100000 x 100000.
def bmp_from_marker():
    return bytearray(read(f"{work}/marker.bmp"))
bmp = bmp_from_marker()
off, width, height = struct.unpack("<I", bmp[10:14])[0], *struct.unpack("<ii", bmp[18:26])
stride = (width * 3 + 3) & ~3
rows = [bmp[off + y * stride: off + (y + 1) * stride] for y in range(height)]
topdown = bmp[:off] + b"".join(reversed(rows))
topdown[22:26] = struct.pack("<i", -height)
write("bmp-top-down.bmp", topdown)
bogus = bmp_from_marker()
bogus[2:6] = struct.pack("<I", 0xFFFFFFF0)
write("bmp-bogus-file-size.bmp", bogus)
bogus = bmp_from_marker()
bogus[34:38] = struct.pack("<I", 0x7FFFFFF0)
write("bmp-bogus-image-size.bmp", bogus)
bogus = bmp_from_marker()
bogus[18:26] = struct.pack("<ii", 100000, 100000)
write("bmp-claims-100000x100000.bmp", bogus)

# Found by fuzzing: 58 bytes whose header claims a 1 x 117440521 picture, under the loader's pixel limit;
# the decoder fills in the missing rows, so everything after loading handles 470 MB of pixels.
header = struct.pack("<IiiHHIIiiII", 40, 1, 0x07000009, 1, 24, 0, 4, 0, 0, 0, 0)
write("bmp-short-claims-1x117440521.bmp", b"BM" + struct.pack("<IHHI", 58, 0, 0, 54) + header + b"\x99\x66\x33\x00")

# Found by fuzzing, GIFs whose headers lie about the picture's size. A 1 x 1 frame on a 255 x 4000
# screen, padded by a comment: Qt's reader gives 255 x 1 as the size but decodes the whole screen.
gif_head = b"GIF89a" + struct.pack("<HHBBB", 255, 4000, 0xF0, 0, 0) + bytes.fromhex("336699000000")
gif_frame = bytes.fromhex("21f90400000000002c00000000010001000002024401003b")
write("gif-size-disagrees-with-data.gif", gif_head + b"\x21\xfe\x40" + b"x" * 64 + b"\x00" + gif_frame)
# No screen and a 14925-wide frame 16896 rows down: 70 bytes that grow into 252 million pixels.
# The fuzzer's own find: the same frame on a 255 x 65531 screen in 46 bytes, too short for that screen.
write("gif-short-claims-255x65531.gif", base64.b64decode("R0lGODlh/wD7//AAADNmmQAAACH5BAAAAAAALAAAAAABAAEAAAICRAEAOw=="))
write("gif-frame-far-off-empty-screen.gif", base64.b64decode(
    "R0lGODlhAAAAK/AAADRmmQAAACH5BAAAcgAALAAAAEJNOgAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAEAAQAAAgJEAQA7"))

# Found by fuzzing: a PNG header whose width and height multiply past 63 bits in our own cost check.
write("png-sizes-overflow-the-cost-check.png", base64.b64decode("iVBORw0KGgoAAAANSUhEUu3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e3t7e0AANUAyAAAAJYMAgAAABS+UE4AAEHPSUhYLBLCIuEUkrBYJIRFT0e9"))
# Found by fuzzing: a BMP whose width, height and bit depth multiply past 64 bits.
write("bmp-sizes-overflow-the-bound.bmp", base64.b64decode("Qk06AAAAsAAAAAA2AAAlKAAgAAEBA/3+//v//v/nAAAAAAAEAAAAAAAAAAAAAP8AAACZZjYA"))
# Found by fuzzing: a header size of 5632, which the reader takes for the old 12-byte header, so that
# 16-bit sizes claim a 10277 x 24905 picture over 191 bytes.
write("bmp-odd-header-claims-10277x24905.bmp", base64.b64decode(
    "Qk3///8cOgAAALAAAAAAFgAAJShJYQEAAQDwAAAzZpkAAPwh+QQARgAgAElGODlhAQABAPAAADNmmQAAACH5BAAAAAAALAAAAAABAAEA"
    "CAwBA/36Svv//v/nAAAQAAAEAJkAsAAAAAAWAAAlKElhAQABAPAAADNmmQAA/CH5BABGACAASUY4OWEBAAEA8AAAM2aZAAAAIfkEAAAA"
    "AAAsAAAAAAEAAQAIDAED/fr/+//+/+cAABAAAAQAmWZmMwA="))

# EXIF orientation 1 to 8: each file stores the marker turned so that applying its orientation gives
# the upright marker back, so every one of them must load as the same 60 x 40 picture.
def exif_segment(ifd):
    tiff = b"MM\x00\x2a" + struct.pack(">I", 8) + ifd
    body = b"Exif\x00\x00" + tiff
    return b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body
def orientation_ifd(value):
    return struct.pack(">H", 1) + struct.pack(">HHIHH", 0x0112, 3, 1, value, 0) + struct.pack(">I", 0)
def with_app1(jpeg, segment):
    return jpeg[:2] + segment + jpeg[2:]
for n in range(1, 9):
    write(f"exif-orientation-{n}.jpg", with_app1(read(f"{work}/stored-{n}.jpg"), exif_segment(orientation_ifd(n))))

# Corrupt EXIF blocks around an upright picture: an IFD offset past the end, an entry count far larger
# than the block (with no orientation among the entries that are there), an orientation entry whose value lies outside the block, and an orientation of 9.
upright = read(f"{work}/stored-1.jpg")
bad = b"MM\x00\x2a" + struct.pack(">I", 0x7FFFFFF0) + orientation_ifd(6)
write("exif-corrupt-ifd-offset.jpg", with_app1(upright, b"\xff\xe1" + struct.pack(">H", len(bad) + 8) + b"Exif\0\0" + bad))
make = struct.pack(">HHII", 0x010F, 2, 4, 0x41424300)
write("exif-corrupt-entry-count.jpg", with_app1(upright, exif_segment(struct.pack(">H", 0xFFFF) + make)))
far = struct.pack(">H", 1) + struct.pack(">HHII", 0x0112, 3, 0x40000000, 0x7FFFFF00) + struct.pack(">I", 0xFFFFFFFF)
write("exif-corrupt-value-offset.jpg", with_app1(upright, exif_segment(far)))
write("exif-orientation-9.jpg", with_app1(upright, exif_segment(orientation_ifd(9))))
# Cheap to send, costly to decode. A scan repeated until there are 150 or 800 of them: each runs over all
# 24 million pixels again.
prog = read(f"{work}/flat-progressive.jpg")
last_sos = max(at for marker, at in jpeg_all_segments(prog) if marker == 0xDA)
for scans in (150, 800):  # over what the size allows; over what any size allows
    write(f"jpeg-{scans}-scans-6000x4000.jpg", prog[:last_sos] + prog[last_sos:-2] * (scans - jpeg_scan_count(prog) + 1) + b"\xff\xd9")
# The same, with one stray 0x00 before each start of scan, which libjpeg skips and a marker walk may not.
hidden = prog[:last_sos] + (b"\x00" + prog[last_sos:-2]) * (800 - jpeg_scan_count(prog) + 1) + b"\xff\xd9"
write("jpeg-800-scans-hidden-by-stray-bytes-6000x4000.jpg", hidden)
# A progressive 16384 x 16384 colour JPEG of one DC scan, one bit a block: 1.6 MB whose whole-picture
# coefficient buffer would take 1.6 GB.
side = 16384
segment = lambda marker, body: b"\xff" + bytes([marker]) + struct.pack(">H", len(body) + 2) + body
write("jpeg-progressive-dc-only-16384x16384.jpg", b"\xff\xd8"
      + segment(0xDB, b"\x00" + b"\x01" * 64)
      + segment(0xC2, struct.pack(">BHHB", 8, side, side, 3) + b"".join(bytes([i, 0x11, 0]) for i in (1, 2, 3)))
      + segment(0xC4, b"\x00" + b"\x01" + b"\x00" * 15 + b"\x00")
      + segment(0xDA, b"\x03" + b"".join(bytes([i, 0]) for i in (1, 2, 3)) + b"\x00\x00\x00")
      + bytes(3 * (side // 8) ** 2 // 8) + b"\xff\xd9")
# Arithmetic coding claiming 16000 x 16000 from a few hundred bytes (its size bounds nothing).
def with_frame_size(jpeg, width, height):
    sof = next(at for marker, at in jpeg_all_segments(jpeg) if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC))
    return jpeg[:sof + 5] + struct.pack(">HH", height, width) + jpeg[sof + 9:]
write("jpeg-arithmetic-claims-16000x16000.jpg", with_frame_size(read(f"{work}/arithmetic.jpg"), 16000, 16000))
write("jpeg-arithmetic-cmyk-claims-16000x16000.jpg", with_frame_size(read(f"{work}/arithmetic-cmyk.jpg"), 16000, 16000))
# PNGs whose depth or interlacing make the reader hold them whole: 16-bit grey and interlaced grey of
# 8100 x 8100 (65.6 megapixels), with all their (flat) pixel data, so no length check stops them.
def flat_png(width, height, depth, interlace, rows):
    z = zlib.compressobj(9)
    body = b"".join(z.compress(row) for row in rows) + z.flush()
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, 0, 0, 0, interlace))
            + png_chunk(b"IDAT", body) + png_chunk(b"IEND", b""))
side = 8100
write("png-16bit-8100x8100.png", flat_png(side, side, 16, 0, (b"\0" + b"\x80" * (2 * side) for _ in range(side))))
def adam7_rows(width, height):
    for x0, y0, dx, dy in [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]:
        w, h = (width - x0 + dx - 1) // dx, (height - y0 + dy - 1) // dy
        for _ in range(h if w else 0):
            yield b"\0" + b"\x80" * w
write("png-interlaced-8100x8100.png", flat_png(side, side, 8, 1, adam7_rows(side, side)))
# A 1 x 1 PNG with 100 compressed text chunks of a megabyte each: text is never shown.
text = zlib.compress(b"a" * (1 << 20), 9)
one = read("one-pixel.png")
write("png-100-text-chunks.png", one[:33] + b"".join(png_chunk(b"zTXt", b"Comment\0\0" + text) for _ in range(100)) + one[33:])
PY

# Small files that decode into gigabytes, refused from their headers by the decode budget: a GIF frame
# of 65535 x 4096 whose data the reader fills in (17 KB, padded by a comment to pass the length bound),
# and a run-length BMP of 16384 x 16384 coded in 255-pixel runs (2.1 MB), whole and cut to 4 KB (a seed
# small enough for fuzzing). And a 1 x 1 PNG with 1000 empty text chunks, stripped in one pass (the test
# makes one with a million).
python3 <<'PY'
import struct, zlib
gif = (b"GIF89a" + struct.pack("<HHBBB", 65535, 4096, 0xF0, 0, 0) + bytes.fromhex("336699000000")
       + b"\x21\xfe" + (b"\xff" + b"x" * 255) * 66 + b"\x00"
       + b"\x2c" + struct.pack("<HHHHB", 0, 0, 65535, 4096, 0) + b"\x02\x02\x44\x01\x00\x3b")
open("gif-65535x4096-in-17kb.gif", "wb").write(gif)
side = 16384
row = (b"\xff\x01" * (side // 255)) + bytes((side % 255, 1)) + b"\x00\x00"
palette = b"".join(bytes((i, 255 - i, 128, 0)) for i in range(256))
pixels = row * side + b"\x00\x01"
offset = 14 + 40 + len(palette)
header = struct.pack("<IiiHHIIiiII", 40, side, side, 1, 8, 1, len(pixels), 2835, 2835, 256, 0)
bmp = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + palette + pixels
open("bmp-rle8-16384x16384.bmp", "wb").write(bmp)
open("bmp-rle8-16384x16384-cut.bmp", "wb").write(bmp[:4096])
one = open("one-pixel.png", "rb").read()
open("png-1000-empty-text-chunks.png", "wb").write(one[:33] + (b"\0\0\0\0tEXt" + struct.pack(">I", zlib.crc32(b"tEXt"))) * 1000 + one[33:])
PY

# HEIC, AVIF, WebP and TIFF: good small ones of the marker, each cut in half; headers claiming sizes
# over the pixel limit and over the decode budget; a HEIF of a thousand images besides its primary one,
# and one whose item list claims 65535 entries. Needs heif-enc, avifenc and cwebp.
convert -size 16x16 xc:gray "${quiet[@]}" "$work/small.png"
heif-enc -q 90 "$work/marker.png" -o good-marker.heic >/dev/null
avifenc -s 8 "$work/marker.png" good-marker.avif >/dev/null
cwebp -quiet -q 90 "$work/marker.png" -o good-marker.webp
convert "$work/marker.png" "${quiet[@]}" -type TrueColor -compress None good-marker.tif
# Over 64 KB with its directory after the pixels, as libtiff writes it: beyond the loader's first read.
convert good-gradient.png "${quiet[@]}" -compress None good-gradient-directory-last.tif
mapfile -t smalls < <(for _ in $(seq 999); do echo "$work/small.png"; done)
heif-enc -q 30 "$work/marker.png" "${smalls[@]}" -o heif-1000-images.heic >/dev/null
python3 <<'PY'
import struct
read = lambda p: open(p, "rb").read()
def write(name, data):
    with open(name, "wb") as f:
        f.write(data)
def with_ispe(data, width, height):
    out, at = bytearray(data), 0
    while (at := out.find(b"ispe", at)) >= 0:
        out[at + 8:at + 16] = struct.pack(">II", width, height)
        at += 4
    return bytes(out)
heic, avif = read("good-marker.heic"), read("good-marker.avif")
write("heic-claims-100000x100000.heic", with_ispe(heic, 100000, 100000))
write("heic-claims-16000x16000.heic", with_ispe(heic, 16000, 16000))
write("avif-claims-100000x100000.avif", with_ispe(avif, 100000, 100000))
iinf = heic.find(b"iinf")
count = ">H" if heic[iinf + 4] == 0 else ">I"
write("heic-item-list-claims-65535.heic", heic[:iinf + 8] + struct.pack(count, 65535) + heic[iinf + 8 + struct.calcsize(count):])
for ext in ("heic", "avif", "webp", "tif"):
    good = read(f"good-marker.{ext}")
    write(f"truncated-half.{ext}", good[:len(good) // 2])
# A lossy WebP frame header claiming 16383 x 16383 over the same few hundred bytes.
webp = bytearray(read("good-marker.webp"))
start = webp.find(b"\x9d\x01\x2a")
webp[start + 3:start + 7] = struct.pack("<HH", 16383, 16383)
write("webp-claims-16383x16383.webp", webp)
# An uncompressed TIFF whose width and length tags claim 60000 x 60000.
tif = bytearray(read("good-marker.tif"))
little = tif[:2] == b"II"
u16, u32 = ("<H", "<I") if little else (">H", ">I")
ifd = struct.unpack(u32, tif[4:8])[0]
for i in range(struct.unpack(u16, tif[ifd:ifd + 2])[0]):
    entry = ifd + 2 + 12 * i
    tag, kind = struct.unpack(u16, tif[entry:entry + 2])[0], struct.unpack(u16, tif[entry + 2:entry + 4])[0]
    if tag in (256, 257):
        # A SHORT sits in the first two bytes of the value field in either byte order.
        tif[entry + 8:entry + 12] = struct.pack(u16, 60000) + b"\0\0" if kind == 3 else struct.pack(u32, 60000)
write("tiff-claims-60000x60000.tif", tif)
# Found by fuzzing: an AVIF whose colour box names unknown primaries, for which libheif fails and still
# hands out a colour description to free.
import base64
write("avif-unknown-colour-primaries.avif", base64.b64decode(
    "AAAAIGZ0eXBhdmlmAAAAAGF2aWZtaWYxbWlhZk1BMUEAAADybWV0YQAAAAAAAAAoaGRscgAAAAAAAAAAcGljdAAAAAAAAAAAAAAA"
    "AGxpYmF2aWYAAAAADnBpdG0AAAAAAAEAAAAeaWxvYwAAAABEAAABAAEAAAABAAABGgAAAGUAAAAoaWluZgAAAAAAAQAAABppbmZl"
    "AgAAAAABAABhdjAxQ29sb3IAAAAAamlwcnAAAABLaXBjbwAAABRpc3BlAAAAAAAAADwAAAAoAAAAEHBpeGkAAAAAAwgICAAAAAxh"
    "djFDgSAAAAAAABNjb2xybmNseAAAAQAGDYAAAAAXaXBtYQAAAAAAAAABAAEEAQKDBAAAAG1tZGF0EgAKCTgVe52EBDQaQDJWRZAB"
    "hhhhAN0rVOyBpzNERKQpHuC1ExkV3TYbgl4fsH0/IaMxUsB0ssVC6dDXRdBPHZAbY5NEGQzsA+cEYBdzhUHnIG90py5V7VGQ/27e"
    "lqYBsZEWWxo="))
# A luma DC table with one more nine-bit code, the one of all ones, which libjpeg refuses when it decodes;
# the scan never uses it, and the eighth-scale parse took the table.
jpeg = bytearray(read("wide-20000x1.jpg"))
dht = jpeg.index(b"\xff\xc4\x00\x1f\x00")
jpeg[dht + 2:dht + 4] = struct.pack(">H", 0x20)
jpeg[dht + 5 + 8] += 1  # codes of nine bits
jpeg.insert(dht + 5 + 16 + 12, 0x0C)
write("jpeg-huffman-code-of-all-ones.jpg", jpeg)
PY

# HEIF files whose boxes say one cost and whose decode would take another, built box by box around small
# coded pictures that heif-enc and avifenc make of flat 8-bit pictures: a grid larger than its declared
# size, AV1 coded far larger than declared, an alpha and a grid of one tile referenced a thousand times,
# tiles that share one piece of data or dwarf their grid, an item list claiming one item and holding
# 2500, and an unused item over libheif's size limit, whose refusal must carry libheif's own reason.
flat_png() {  # flat_png WIDTH HEIGHT FILE: one colour, 8 bits, without ImageMagick's size policy
  python3 - "$@" <<'PY'
import struct, sys, zlib
w, h = int(sys.argv[1]), int(sys.argv[2])
z = zlib.compressobj(9)
body = b"".join(z.compress(b"\0" + bytes((192, 64, 32)) * w) for _ in range(h)) + z.flush()
chunk = lambda k, d: struct.pack(">I", len(d)) + k + d + struct.pack(">I", zlib.crc32(k + d))
open(sys.argv[3], "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                              + chunk(b"IDAT", body) + chunk(b"IEND", b""))
PY
}
for side in 64 128 256; do flat_png $side $side "$work/flat-$side.png" && heif-enc -q 50 "$work/flat-$side.png" -o "$work/flat-$side.heic" >/dev/null; done
convert -size 64x64 xc:'#c83c1e' -alpha set -channel A -evaluate set 50% +channel PNG32:"$work/half-clear.png"
heif-enc -q 50 "$work/half-clear.png" -o "$work/half-clear.heic" >/dev/null
for side in 8192 16384; do flat_png $side $side "$work/flat-$side.png" && avifenc -s 10 "$work/flat-$side.png" "$work/flat-$side.avif" >/dev/null && rm "$work/flat-$side.png"; done
python3 - "$work" <<'PY'
import struct, sys
work = sys.argv[1]
read = lambda p: open(p, "rb").read()
def write(name, data):
    with open(name, "wb") as f:
        f.write(data)

def box(kind, *parts):
    body = b"".join(parts)
    return struct.pack(">I", 8 + len(body)) + kind + body
def full(kind, version, flags, *parts):
    return box(kind, bytes([version]) + flags.to_bytes(3, "big"), *parts)
def children(data, at, end):
    while at + 8 <= end:
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        yield kind, at + 8, at + size
        at += size
def child(data, at, end, kind):
    return next((s, e) for k, s, e in children(data, at, end) if k == kind)

def items_of(data):
    """{id: (type, data, [property boxes])} of a file heif-enc or avifenc wrote (iloc of 4-byte fields)."""
    meta, meta_end = child(data, 0, len(data), b"meta")
    meta += 4
    iinf, iinf_end = child(data, meta, meta_end, b"iinf")
    types = {struct.unpack(">H", data[s + 4:s + 6])[0]: data[s + 8:s + 12]
             for _, s, _ in children(data, iinf + (6 if data[iinf] == 0 else 8), iinf_end)}
    iloc, _ = child(data, meta, meta_end, b"iloc")
    version, base_size = data[iloc], data[iloc + 5] >> 4
    idat = next((s for k, s, _ in children(data, meta, meta_end) if k == b"idat"), 0)
    at, blobs = iloc + 8, {}
    for _ in range(struct.unpack(">H", data[iloc + 6:iloc + 8])[0]):
        item, = struct.unpack(">H", data[at:at + 2]); at += 2
        method = struct.unpack(">H", data[at:at + 2])[0] & 15 if version else 0; at += 2 if version else 0
        at += 2
        base = struct.unpack(">I", data[at:at + 4])[0] if base_size else 0; at += base_size
        blob = b""
        for _ in range(struct.unpack(">H", data[at:at + 2])[0]):
            offset, length = struct.unpack(">II", data[at + 2:at + 10]); at += 8
            start = (idat if method == 1 else 0) + base + offset
            blob += data[start:start + length]
        at += 2
        blobs[item] = blob
    iprp, iprp_end = child(data, meta, meta_end, b"iprp")
    ipco, ipco_end = child(data, iprp, iprp_end, b"ipco")
    props = [data[s - 8:e] for _, s, e in children(data, ipco, ipco_end)]
    ipma, _ = child(data, iprp, iprp_end, b"ipma")
    at, assoc = ipma + 8, {}
    for _ in range(struct.unpack(">I", data[ipma + 4:ipma + 8])[0]):
        item, n = struct.unpack(">HB", data[at:at + 3]); at += 3
        assoc[item] = [props[(data[at + k] & 0x7F) - 1] for k in range(n)]; at += n
    return {i: (types[i], blobs.get(i, b""), assoc.get(i, [])) for i in types}
def coded(path):
    return next((blob, props) for kind, blob, props in items_of(read(path)).values() if kind in (b"hvc1", b"av01"))

def ispe(width, height):
    return full(b"ispe", 0, 0, struct.pack(">II", width, height))
def with_ispe(props, width, height):
    return [ispe(width, height) if p[4:8] == b"ispe" else p for p in props]
def grid(rows, columns, width, height):
    wide = width > 0xFFFF or height > 0xFFFF
    return bytes([0, int(wide), rows - 1, columns - 1]) + struct.pack(">II" if wide else ">HH", width, height)

class Item:
    def __init__(self, kind, data=b"", props=(), hidden=True, in_idat=False, data_of=None, extents=1):
        self.kind, self.data, self.props, self.hidden, self.in_idat, self.data_of = kind, data, list(props), hidden, in_idat, data_of
        self.extents = extents  # 0: located, without data

def heif(brand, items, refs=(), declared_items=None):
    """A HEIF of items {id: Item} (item 1 primary), references [(type, from, [to...])], data in mdat or idat."""
    ids = sorted(items)
    ipco, index = [], {}
    for i in ids:
        for p in items[i].props:
            if p not in index:
                ipco.append(p); index[p] = len(ipco)
    def meta(mdat_start):
        infe = b"".join(full(b"infe", 2, int(items[i].hidden), struct.pack(">HH", i, 0), items[i].kind, b"\0") for i in ids)
        idat, mdat, place = b"", b"", {}
        for i in ids:
            it = items[i]
            if it.data_of is None and it.in_idat:
                place[i] = (1, len(idat), len(it.data)); idat += it.data
            elif it.data_of is None:
                place[i] = (0, mdat_start + len(mdat), len(it.data)); mdat += it.data
        for i in ids:
            if items[i].data_of is not None:
                place[i] = place[items[i].data_of]
        iloc = full(b"iloc", 1, 0, bytes([0x44, 0]), struct.pack(">H", len(ids)),
                    b"".join(struct.pack(">HHHHII", i, place[i][0], 0, 1, place[i][1], place[i][2]) if items[i].extents
                             else struct.pack(">HHHH", i, 0, 0, 0) for i in ids))
        with_props = [i for i in ids if items[i].props]
        ipma = full(b"ipma", 0, 0, struct.pack(">I", len(with_props)),
                    b"".join(struct.pack(">HB", i, len(items[i].props)) +
                             bytes((0x80 if p[4:8] in (b"hvcC", b"av1C", b"auxC") else 0) | index[p] for p in items[i].props)
                             for i in with_props))
        parts = [full(b"hdlr", 0, 0, bytes(4), b"pict", bytes(13)), full(b"pitm", 0, 0, struct.pack(">H", 1))]
        parts += [box(b"idat", idat)] if idat else []
        count = len(ids) if declared_items is None else declared_items
        parts += [iloc, full(b"iinf", 0, 0, struct.pack(">H", count), infe), box(b"iprp", box(b"ipco", *ipco), ipma)]
        parts += [full(b"iref", 0, 0, *[box(k, struct.pack(">HH", f, len(to)), struct.pack(f">{len(to)}H", *to))
                                        for k, f, to in refs])] if refs else []
        return full(b"meta", 0, 0, *parts), mdat
    ftyp = box(b"ftyp", brand, bytes(4), brand + b"mif1miaf")
    head, _ = meta(0)
    head, mdat = meta(len(ftyp) + len(head) + 8)
    return ftyp + head + box(b"mdat", mdat)

tile64, props64 = coded(f"{work}/flat-64.heic")
tile128, props128 = coded(f"{work}/flat-128.heic")
tile256, props256 = coded(f"{work}/flat-256.heic")
# A grid whose own description says far more pixels than its declared size.
for w, h in ((30000, 30000), (12000, 8000)):
    write(f"heic-grid-{w}x{h}-declared-128x128.heic", heif(b"heic", {
        1: Item(b"grid", grid(1, 1, w, h), [ispe(128, 128)], hidden=False, in_idat=True), 2: Item(b"hvc1", tile128, props128)},
        [(b"dimg", 1, [2])]))
# AV1 of a flat picture coded at 8192 or 16384 pixels a side, declared as 64 x 64.
for side in (8192, 16384):
    avif = read(f"{work}/flat-{side}.avif")
    at = avif.index(b"ispe")
    write(f"avif-declared-64x64-coded-{side}x{side}.avif", avif[:at + 8] + struct.pack(">II", 64, 64) + avif[at + 16:])
# An alpha that is a grid of 1056 references to one tile.
colour, alpha = (v for k, v in sorted(items_of(read(f"{work}/half-clear.heic")).items()))
write("heic-alpha-grid-of-1056-references.heic", heif(b"heic", {
    1: Item(b"hvc1", colour[1], colour[2], hidden=False),
    2: Item(b"grid", grid(33, 32, 64, 64), [ispe(64, 64)] + [p for p in alpha[2] if p[4:8] == b"auxC"], in_idat=True),
    3: Item(b"hvc1", alpha[1], [p for p in alpha[2] if p[4:8] != b"auxC"])},
    [(b"auxl", 2, [1]), (b"dimg", 2, [3] * 1056)]))
# A grid of 1089 references to one tile for a 64 x 64 picture, and one tile repeated into 8192 x 8192.
write("heic-grid-1089-tiles-for-64x64.heic", heif(b"heic", {
    1: Item(b"grid", grid(33, 33, 64, 64), [ispe(64, 64)], hidden=False, in_idat=True), 2: Item(b"hvc1", tile64, props64)},
    [(b"dimg", 1, [2] * 1089)]))
write("heic-one-tile-repeated-into-8192x8192.heic", heif(b"heic", {
    1: Item(b"grid", grid(32, 32, 8192, 8192), [ispe(8192, 8192)], hidden=False, in_idat=True), 2: Item(b"hvc1", tile256, props256)},
    [(b"dimg", 1, [2] * 1024)]))
# The same with 1024 tiles of their own, all located at the one tile's data.
tiles = {2: Item(b"hvc1", tile256, props256)}
tiles.update({i: Item(b"hvc1", props=props256, data_of=2) for i in range(3, 1026)})
write("heic-1024-tiles-share-one-extent-8192x8192.heic", heif(b"heic", {
    1: Item(b"grid", grid(32, 32, 8192, 8192), [ispe(8192, 8192)], hidden=False, in_idat=True), **tiles},
    [(b"dimg", 1, list(range(2, 1026)))]))
# Four 64 x 64 tiles that cannot make a 200 x 200 grid.
write("heic-grid-of-2x2-tiles-of-64-declared-200x200.heic", heif(b"heic", {
    1: Item(b"grid", grid(2, 2, 200, 200), [ispe(200, 200)], hidden=False, in_idat=True),
    **{i: Item(b"hvc1", tile64, props64) for i in range(2, 6)}}, [(b"dimg", 1, [2, 3, 4, 5])]))
# A 64 x 64 grid of one tile truly 8192 x 8192.
tile, props = coded(f"{work}/flat-8192.avif")
write("avif-grid-64x64-of-one-8192x8192-tile.avif", heif(b"avif", {
    1: Item(b"grid", grid(1, 1, 64, 64), [ispe(64, 64)], hidden=False, in_idat=True), 2: Item(b"av01", tile, props)},
    [(b"dimg", 1, [2])]))
# An item list claiming one item and holding 2100: the picture and 2099 items of no known kind or data.
others = {i: Item(b"none", extents=0) for i in range(2, 2101)}
write("heic-item-list-claims-1-holds-2100.heic", heif(b"heic", {1: Item(b"hvc1", tile64, props64, hidden=False), **others},
                                                   declared_items=1))
# A picture of 64 x 64 beside an unused image declared 70000 x 1, past libheif's limit on a side.
write("heic-unused-item-declared-70000x1.heic", heif(b"heic", {
    1: Item(b"hvc1", tile64, props64, hidden=False), 2: Item(b"hvc1", tile64, with_ispe(props64, 70000, 1))}))
PY

# Files whose lines matter: a GIF whose screen is 0 x 0 (no size to tell), a TIFF whose pixels claim
# LZW coding without being so (libtiff complains of codes not in its table), and a PNG whose eXIf chunk
# points past its own end.
python3 <<'PY'
import struct, zlib
read = lambda name: open(name, "rb").read()
def write(name, data):
    with open(name, "wb") as f: f.write(data)
write("gif-screen-0x0.gif", b"GIF89a" + struct.pack("<HHBBB", 0, 0, 0, 0, 0) + b";")
tif = bytearray(read("good-marker.tif"))
u16, u32 = ("<H", "<I") if tif[:2] == b"II" else (">H", ">I")
ifd = struct.unpack(u32, tif[4:8])[0]
for i in range(struct.unpack(u16, tif[ifd:ifd + 2])[0]):
    entry = ifd + 2 + 12 * i
    if struct.unpack(u16, tif[entry:entry + 2])[0] == 259:  # Compression, a SHORT
        tif[entry + 8:entry + 12] = struct.pack(u16, 5) + b"\0\0"
write("tiff-lzw-codes-not-in-table.tif", tif)
chunk = lambda k, b: struct.pack(">I", len(b)) + k + b + struct.pack(">I", zlib.crc32(k + b))
exif = b"MM\x00\x2a" + struct.pack(">I", 0x7FFFFFF0)
write("png-exif-directory-past-the-end.png", b"\x89PNG\r\n\x1a\n"
      + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 2, 0, 0, 0)) + chunk(b"eXIf", exif)
      + chunk(b"IDAT", zlib.compress(b"\0\x33\x66\x99")) + chunk(b"IEND", b""))
PY
