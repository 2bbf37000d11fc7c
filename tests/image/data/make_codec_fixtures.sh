#!/bin/sh
# Makes the BMP, GIF, JPEG and TIFF fixtures of the image tests with tools the
# project did not write: ImageMagick (Debian's /usr/bin/convert), cjpeg and
# djpeg (libjpeg-turbo-progs), tiffcp and tiffset (libtiff-tools), geotifcp
# and listgeo (geotiff-bin) and Python's standard library. Beside each file
# that ImageMagick can read, ImageMagick's own decoding of it is kept as the
# expected pixels: NAME.rgba, 8-bit RGBA, rows top first. Run once; the
# outputs are committed.
set -eu
cd "$(dirname "$0")"
C=/usr/bin/convert
W=13
H=11
export LC_ALL=C

# The 8-bit RGBA source picture of the PNG fixtures.
{
    printf 'P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n' $W $H
    awk -v w=$W -v h=$H 'BEGIN { for (y = 0; y < h; y++) for (x = 0; x < w; x++) {
        a = (y % 4 == 0) ? 255 : (y % 4 == 1) ? 128 : (y % 4 == 2) ? (x * 19) % 256 : (x % 3 == 0 ? 0 : 255);
        printf "%c%c%c%c", (x * 19 + y * 3) % 256, (y * 23 + 40) % 256, (x * y * 7 + 11) % 256, a } }'
} > src8.pam
expect() { $C "$1" -depth 8 "rgba:${1%.*}.rgba"; }

# --- BMP ---
rm -f ./*.bmp
$C src8.pam -alpha off -colorspace Gray -threshold 50% -type Bilevel BMP3:b1.bmp
$C src8.pam -alpha off +dither -colors 12 -type Palette BMP3:b4.bmp
$C src8.pam -alpha off +dither -colors 100 -type Palette -compress None BMP3:b8.bmp
$C src8.pam -alpha off -type TrueColor BMP3:b24.bmp
$C src8.pam -alpha off -type TrueColor BMP2:b24core.bmp
$C src8.pam -alpha off +dither -colors 100 -type Palette BMP2:b8core.bmp
$C src8.pam -alpha off +dither -colors 100 -type Palette -compress RLE BMP3:b8rle.bmp
$C src8.pam -type TrueColorAlpha BMP:b32v5.bmp
$C src8.pam -alpha off -define bmp:subtype=RGB565 BMP:b16565.bmp
$C src8.pam -alpha off -define bmp:subtype=RGB555 BMP:b16555.bmp
for f in b1 b4 b8 b24 b24core b8core b8rle b32v5 b16565 b16555; do expect $f.bmp; done
# The same 24-bit picture stored top-down, and as a bare DIB without the
# file header, rewritten from b24.bmp by Python.
python3 - <<'PY'
import struct
data = open('b24.bmp', 'rb').read()
off = struct.unpack_from('<I', data, 10)[0]
w, h = struct.unpack_from('<ii', data, 18)
row = (w * 3 + 3) // 4 * 4
pixels = data[off:off + row * h]
rows = [pixels[i * row:(i + 1) * row] for i in range(h)]
info = bytearray(data[14:54])
struct.pack_into('<i', info, 8, -h)
open('b24top.bmp', 'wb').write(data[:14] + bytes(info) + data[54:off] + b''.join(reversed(rows)))
open('b24bare.dib', 'wb').write(data[14:54] + pixels)

# RLE4 from the 4-bit picture: runs where neighbours repeat, literal blocks
# elsewhere, a delta and a run that overruns its row.
data = open('b4.bmp', 'rb').read()
off = struct.unpack_from('<I', data, 10)[0]
w, h = struct.unpack_from('<ii', data, 18)
row = (w * 4 + 31) // 32 * 4
out = bytearray()
for y in range(h):
    r = data[off + y * row:off + (y + 1) * row]
    px = [(r[x // 2] >> 4) if x % 2 == 0 else (r[x // 2] & 15) for x in range(w)]
    x = 0
    while x < w:
        n = 1
        while x + n < w and px[x + n] == px[x]:
            n += 1
        if n >= 2 or w - x < 3:
            out += bytes([n, px[x] * 17]); x += n
        else:
            m = 3
            while x + m < w and m < 8 and px[x + m] != px[x + m - 1]:
                m += 1
            lit = px[x:x + m] + [0]
            block = bytes(lit[i] << 4 | lit[i + 1] for i in range(0, m, 2))
            out += bytes([0, m]) + block + (b'\0' if len(block) % 2 else b'')
            x += m
    out += b'\0\0'
out += b'\0\1'
info = bytearray(data[14:54])
struct.pack_into('<II', info, 16, 2, len(out))
pal = data[54:off]
head = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(pal) + len(out), 0, 0, 14 + 40 + len(pal))
open('b4rle.bmp', 'wb').write(head + bytes(info) + pal + bytes(out))
PY

# --- GIF ---
rm -f ./*.gif
$C src8.pam -alpha off -colorspace Gray -threshold 50% -type Bilevel gif2.gif
$C src8.pam -alpha off +dither -colors 12 gif16.gif
$C src8.pam -alpha off +dither -colors 200 gif256.gif
$C src8.pam -alpha off +dither -colors 200 -interlace GIF gif256i.gif
$C src8.pam -alpha off +dither -colors 12 -interlace GIF gif16i.gif
for f in gif2 gif16 gif256 gif256i gif16i; do expect $f.gif; done
# Interlaced pictures 1 to 9 rows high, each row its own colour.
for n in 1 2 3 4 5 6 7 8 9; do
    $C -size 3x$n gradient:red-blue +dither -colors 16 -interlace GIF "inter$n.gif"
    expect "inter$n.gif"
done
# An animation on one global palette: a first frame with a transparent
# colour, then smaller frames at offsets with disposal none, background and
# previous. ImageMagick's coalesced frames are the expected pictures.
$C src8.pam -alpha off +dither -colors 30 -fill '#ff00ff' -draw 'rectangle 0,0 2,2' f0.png
$C src8.pam -alpha off -crop 5x4+3+2 +repage -negate +dither -colors 20 f1.png
$C src8.pam -alpha off -crop 6x5+0+0 +repage -flip +dither -colors 20 -fill '#ff00ff' -draw 'point 1,1' f2.png
$C src8.pam -alpha off -crop 4x6+7+1 +repage -flop +dither -colors 20 f3.png
$C -dispose none -delay 7 f0.png \
   -dispose background -delay 8 -page +2+3 f1.png \
   -dispose previous -delay 9 -page +6+4 f2.png \
   -dispose none -page +9+5 f3.png \
   -loop 3 +map anim.gif
$C anim.gif -transparent '#ff00ff' +map anim.gif
$C anim.gif -coalesce -depth 8 rgba:anim_%d.rgba
rm -f f0.png f1.png f2.png f3.png

# --- JPEG ---
# cjpeg writes the variants; djpeg's decoding of each, as binary PNM, is the
# expected picture (the same library and defaults as the codec's).
rm -f ./*.jpg ./*.pnm
$C src8.pam -alpha off -depth 8 src.ppm
cjpeg -quality 85 -outfile j420.jpg src.ppm
cjpeg -quality 85 -sample 1x1 -outfile j444.jpg src.ppm
cjpeg -quality 85 -grayscale -outfile jgrey.jpg src.ppm
cjpeg -quality 85 -progressive -outfile jprog.jpg src.ppm
cjpeg -quality 85 -arithmetic -outfile jarith.jpg src.ppm
cjpeg -quality 85 -restart 1B -outfile jrestart.jpg src.ppm
for f in j420 j444 jgrey jprog jarith jrestart; do djpeg -pnm -outfile $f.pnm $f.jpg; done
# ImageMagick: CMYK (Adobe, inverted), density per centimetre, and an aspect
# ratio without unit.
$C src8.pam -alpha off -colorspace CMYK -quality 90 jcmyk.jpg
$C src8.pam -alpha off -units PixelsPerCentimeter -density 38 jcm.jpg
$C src8.pam -alpha off -units Undefined -density 1x2 jaspect.jpg
rm -f src.ppm

# --- TIFF ---
rm -f ./*.tif
$C src8.pam -alpha off -compress None t_rgb.tif
$C src8.pam -compress None t_rgba.tif
$C src8.pam -alpha off -colorspace Gray -compress None t_grey8.tif
$C src8.pam -alpha off -colorspace Gray -threshold 50% -type Bilevel -depth 1 -compress None t_bw.tif
$C src8.pam -alpha off +dither -colors 100 -type Palette -compress None t_pal8.tif
$C src8.pam -alpha off +dither -colors 12 -type Palette -depth 4 -compress None t_pal4.tif
$C src8.pam -colorspace Gray -type GrayscaleAlpha -compress None t_greya.tif
$C src8.pam -alpha off -colorspace Lab -compress None t_lab.tif
for f in t_rgb t_rgba t_grey8 t_bw t_pal8 t_pal4 t_greya t_lab; do expect $f.tif; done
# Compressions and tiles by tiffcp, from the same pictures.
tiffcp -c lzw:2 t_rgb.tif t_lzw.tif
tiffcp -c zip t_pal8.tif t_zip.tif
tiffcp -c g4 t_bw.tif t_g4.tif
tiffcp -c jpeg:90 t_rgb.tif t_jpeg.tif
expect t_jpeg.tif
$C -size 40x35 gradient:red-blue -rotate 90 +dither -colors 60 -type Palette -compress None t_big.tif
expect t_big.tif
tiffcp -t -w 16 -l 16 t_big.tif t_tiled.tif
tiffcp t_grey8.tif t_pal8.tif t_rgb.tif t_pages.tif
# Orientations 1 to 8 of the palette picture; ImageMagick's upright view
# of each is the expected picture.
for o in 1 2 3 4 5 6 7 8; do
    cp t_pal8.tif t_or$o.tif
    tiffset -s 274 $o t_or$o.tif
    $C t_or$o.tif -auto-orient -depth 8 rgba:t_or$o.rgba
done
# 16-bit elevation tiles written by Python: samples 0 to 4199 in known
# places, a GeoTIFF tie point and pixel scale, and the variants that do not
# count as elevation tiles. listgeo checks that each carries the tags.
python3 - <<'PY'
import struct

def tiff(name, w, h, bits, samples, tie=None, scale=None, tiles=None, photometric=1, orientation=1):
    bps = bits // 8
    rows = []
    for y in range(h):
        row = b''
        for x in range(w):
            v = (x * 397 + y * 1013) % (1 << bits) if bits == 16 else (x * 17 + y * 5) % 256
            row += struct.pack('<H', v) if bits == 16 else bytes([v])
        rows.append(row)
    if tiles:
        tw, tl = tiles
        chunks = []
        for ty in range(0, h, tl):
            for tx in range(0, w, tw):
                data = b''
                for y in range(ty, ty + tl):
                    for x in range(tx, tx + tw):
                        data += rows[y][x * bps:(x + 1) * bps] if y < h and x < w else b'\0' * bps
                chunks.append(data)
    else:
        chunks = [b''.join(rows)]
    entries = [(256, 4, 1, w), (257, 4, 1, h), (258, 3, 1, bits), (259, 3, 1, 1), (262, 3, 1, photometric),
               (274, 3, 1, orientation), (277, 3, 1, samples)]
    extra = b''
    base = 8
    # Data first, then the arrays, then the directory.
    blob = b''.join(chunks)
    offsets = []
    at = base
    for c in chunks:
        offsets.append(at); at += len(c)
    arrays = b''
    def array(kind, values):
        nonlocal arrays
        start = base + len(blob) + len(arrays)
        fmt = {'d': '<%dd', 'I': '<%dI'}[kind] % len(values)
        arrays += struct.pack(fmt, *values)
        return start
    if tiles:
        entries += [(322, 4, 1, tiles[0]), (323, 4, 1, tiles[1]),
                    (324, 4, len(chunks), array('I', offsets) if len(chunks) > 1 else offsets[0]),
                    (325, 4, len(chunks), array('I', [len(c) for c in chunks]) if len(chunks) > 1 else len(chunks[0]))]
    else:
        entries += [(273, 4, 1, offsets[0]), (278, 4, 1, h), (279, 4, 1, len(chunks[0]))]
    if scale is not None:
        entries.append((33550, 12, len(scale), array('d', scale)))
    if tie is not None:
        entries.append((33922, 12, len(tie), array('d', tie)))
    entries.sort()
    ifd_at = base + len(blob) + len(arrays)
    ifd = struct.pack('<H', len(entries))
    for tag, kind, count, value in entries:
        if kind == 3 and count == 1:
            ifd += struct.pack('<HHIHH', tag, kind, count, value, 0)
        else:
            ifd += struct.pack('<HHII', tag, kind, count, value)
    ifd += struct.pack('<I', 0)
    open(name, 'wb').write(b'II*\0' + struct.pack('<I', ifd_at) + blob + arrays + ifd)

# The bilevel picture as white-is-zero: photometric 0 and every data bit
# inverted, so it shows the same.
data = bytearray(open('t_bw.tif', 'rb').read())
order = '<' if data[:2] == b'II' else '>'
ifd = struct.unpack_from(order + 'I', data, 4)[0]
n = struct.unpack_from(order + 'H', data, ifd)[0]
tags = {}
for i in range(n):
    tag, kind, count, value = struct.unpack_from(order + 'HHII', data, ifd + 2 + 12 * i)
    if kind == 3 and count == 1:
        value = struct.unpack_from(order + 'H', data, ifd + 10 + 12 * i)[0]
    tags[tag] = (i, value)
    if tag == 262:
        struct.pack_into(order + 'H', data, ifd + 10 + 12 * i, 0)
assert tags[273][1] and tags[279][1]
start, length = tags[273][1], tags[279][1]
for k in range(start, start + length):
    data[k] ^= 0xFF
open('t_wz.tif', 'wb').write(bytes(data))

geo = dict(tie=[0, 0, 0, 100, 200, 0], scale=[30, 30, 0])
tiff('t_dem.tif', 7, 5, 16, 1, **geo)
tiff('t_dem_tiled.tif', 20, 18, 16, 1, tiles=(16, 16), **geo)
tiff('t_dem_or6.tif', 7, 5, 16, 1, orientation=6, **geo)
tiff('t_dem_half.tif', 7, 5, 16, 1, tie=[0.5, 0.5, 0, 100, 200, 0], scale=[30, 30, 0])
tiff('t_dem_noscale.tif', 7, 5, 16, 1, tie=[0, 0, 0, 100, 200, 0], scale=[0, 0, 1])
tiff('t_dem_count.tif', 7, 5, 16, 1, tie=[0, 0, 0, 100, 200, 0, 1, 1, 0, 130, 230, 0], scale=[30, 30, 0])
tiff('t_geo8.tif', 7, 5, 8, 1, **geo)
tiff('t_grey16.tif', 7, 5, 16, 1)
PY
for f in t_dem t_dem_tiled t_dem_half t_geo8; do listgeo "$f.tif" | grep -q "ModelTiepointTag" || { echo "$f.tif has no tie point" >&2; exit 1; }; done
rm -f src8.pam
