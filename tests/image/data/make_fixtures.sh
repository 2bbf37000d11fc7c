#!/bin/sh
# Makes the PNG fixtures of the image tests with tools the project did not
# write: ImageMagick (Debian's /usr/bin/convert) encodes them, pngcheck checks
# that each has the colour type and depth asked for, and ImageMagick's own
# decoding of each is kept beside it as the expected pixels: NAME.rgba with
# 8-bit samples, or NAME.rgba16 with 16-bit samples, most significant byte
# first, both rows top first. Run once (apt-get install imagemagick pngcheck);
# the outputs are committed.
set -eu
cd "$(dirname "$0")"
C=/usr/bin/convert
W=13
H=11
export LC_ALL=C
rm -f ./*.png ./*.rgba ./*.rgba16

# 8-bit RGBA source: colour ramps, alpha in stripes of 255, 128, 0 and a ramp.
{
    printf 'P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n' $W $H
    awk -v w=$W -v h=$H 'BEGIN { for (y = 0; y < h; y++) for (x = 0; x < w; x++) {
        a = (y % 4 == 0) ? 255 : (y % 4 == 1) ? 128 : (y % 4 == 2) ? (x * 19) % 256 : (x % 3 == 0 ? 0 : 255);
        printf "%c%c%c%c", (x * 19 + y * 3) % 256, (y * 23 + 40) % 256, (x * y * 7 + 11) % 256, a } }'
} > src8.pam
# 16-bit RGBA source whose low bytes differ from the high bytes.
{
    printf 'P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 65535\nTUPLTYPE RGB_ALPHA\nENDHDR\n' $W $H
    awk -v w=$W -v h=$H 'function s(v) { printf "%c%c", int(v / 256) % 256, v % 256 }
        BEGIN { for (y = 0; y < h; y++) for (x = 0; x < w; x++) {
        s((x * 4999 + y * 131) % 65536); s((y * 5807 + 77) % 65536); s((x * y * 911 + 3) % 65536);
        s(y % 2 ? (x * 4111) % 65536 : 65535) } }'
} > src16.pam

# make NAME "IHDR text pngcheck prints" FORMAT-PREFIX convert-arguments...
make() {
    name=$1
    want=$2
    format=$3
    shift 3
    $C "$@" "$format$name.png"
    pngcheck -v "$name.png" | grep -q "$want" || { echo "$name.png is not $want" >&2; pngcheck -v "$name.png" >&2; exit 1; }
    # The IHDR's bit depth chooses the dump.
    if [ "$(od -An -tu1 -j24 -N1 "$name.png" | tr -d ' ')" = 16 ]; then
        $C "$name.png" -depth 16 -endian MSB "rgba:$name.rgba16"
    else
        $C "$name.png" -depth 8 "rgba:$name.rgba"
    fi
}

# Every colour type and bit depth, plain and Adam7.
for i in "" i; do
    if [ -n "$i" ]; then il="-interlace PNG"; kind=", interlaced"; sfx=_i; else il=""; kind=", non-interlaced"; sfx=""; fi
    make g1$sfx "1-bit grayscale$kind" "" src8.pam -alpha off -colorspace Gray -threshold 50% -type Bilevel -depth 1 $il -strip
    make g2$sfx "2-bit grayscale$kind" "" src8.pam -alpha off -colorspace Gray -depth 2 -type Grayscale $il -strip
    make g4$sfx "4-bit grayscale$kind" "" src8.pam -alpha off -colorspace Gray -depth 4 -type Grayscale $il -strip
    make g8$sfx "8-bit grayscale$kind" "" src8.pam -alpha off -colorspace Gray -depth 8 -type Grayscale $il -strip
    make g16$sfx "16-bit grayscale$kind" "" src16.pam -alpha off -colorspace Gray -depth 16 -type Grayscale $il -strip
    make rgb8$sfx "24-bit RGB$kind" "PNG24:" src8.pam -alpha off -depth 8 $il -strip
    make rgb16$sfx "48-bit RGB$kind" "PNG48:" src16.pam -alpha off -depth 16 $il -strip
    make p1$sfx "1-bit palette$kind" "" src8.pam -alpha off -colorspace Gray -threshold 50% -colorspace sRGB +level-colors '#c02010,#1040e0' +dither -type Palette $il -strip
    make p2$sfx "2-bit palette$kind" "" src8.pam -alpha off +dither -colors 4 -type Palette $il -strip
    make p4$sfx "4-bit palette$kind" "" src8.pam -alpha off +dither -colors 12 -type Palette $il -strip
    make p8$sfx "8-bit palette$kind" "PNG8:" src8.pam -alpha off -depth 8 +dither -colors 100 -type Palette $il -strip
    make ga8$sfx "16-bit grayscale+alpha$kind" "" src8.pam -colorspace Gray -depth 8 -type GrayscaleAlpha $il -strip
    make ga16$sfx "32-bit grayscale+alpha$kind" "" src16.pam -colorspace Gray -depth 16 -type GrayscaleAlpha $il -strip
    make rgba8$sfx "32-bit RGB+alpha$kind" "PNG32:" src8.pam -depth 8 $il -strip
    make rgba16$sfx "64-bit RGB+alpha$kind" "PNG64:" src16.pam -depth 16 $il -strip
done

# Five colours in stripes, with the given alpha values for the first three.
five_colours() {
    printf 'P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n' $W $H
    awk -v w=$W -v h=$H -v a0=$1 -v a1=$2 -v a2=$3 'BEGIN {
        split("200 30 30|30 180 40|20 40 220|240 220 20|250 250 250", c, "|");
        al[1] = a0; al[2] = a1; al[3] = a2; al[4] = 255; al[5] = 255;
        for (y = 0; y < h; y++) for (x = 0; x < w; x++) {
            k = (x + 2 * y) % 5 + 1; split(c[k], v, " ");
            printf "%c%c%c%c", v[1], v[2], v[3], al[k] } }'
}

# Transparency chunks.
five_colours 0 255 255 > t.pam
make pt0 "1 transparency entry" "" t.pam -type PaletteAlpha -strip
five_colours 128 255 255 > t.pam
make pt128 "1 transparency entry" "" t.pam -type PaletteAlpha -strip
five_colours 0 100 200 > t.pam
make pt3 "3 transparency entries" "" t.pam -type PaletteAlpha -strip
five_colours 0 255 255 > t.pam
make rgbt8 "tRNS" "" t.pam -define png:color-type=2 -strip
make gt8 "tRNS" "" t.pam -colorspace Gray -define png:color-type=0 -define png:bit-depth=8 -strip
$C src16.pam -alpha off -fill '#123456789abc' -draw 'point 0,0' -draw 'point 5,5' t16.pam
make rgbt16 "tRNS" "PNG48:" t16.pam -transparent '#123456789abc' -strip

# Resolution.
make dpi300 "pHYs" "" src8.pam -alpha off -depth 8 -units PixelsPerInch -density 300 \
    -define png:exclude-chunks=date,time,gAMA,cHRM,bKGD,tEXt,zTXt,iCCP,sRGB,vpAg
rm -f src8.pam src16.pam t.pam t16.pam
