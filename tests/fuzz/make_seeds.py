#!/usr/bin/python3
"""Writes the seed corpus of every fuzz target into corpus/TARGET/.

Run with Debian's Python from tests/fuzz/: ./make_seeds.py [TARGET...]
(all targets when none is named). Each seed is an input as the target's
entry takes it; the files are small and checked in. The image seeds are the
codec fixtures of tests/image/data with an options byte in front, and files
made here that once cost far more than their bytes; the other seeds are made
here from the layouts the module reads.

A new target adds a function below and its line in SEEDS.
"""
import hashlib
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, '..', 'image', 'data')

# Options byte of the image targets (see DecodeImage in fuzz_support.h).
HEADER_ONLY, ALL_FRAMES, SWAPPED = 0x01, 0x02, 0x80


def frame(n):
    return (n & 3) << 2


def scale(n):
    return (n & 3) << 4


def fixture(name):
    with open(os.path.join(DATA, name), 'rb') as f:
        return f.read()


def le16(v):
    return struct.pack('<H', v & 0xFFFF)


def le32(v):
    return struct.pack('<I', v & 0xFFFFFFFF)


# --- BMP ---

def bitmap(width, height, bpp, pixels, palette=b'', compression=0):
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bpp, compression, len(pixels), 2835, 2835,
                       len(palette) // 4, 0)
    offset = 14 + len(info) + len(palette)
    return b'BM' + le32(offset + len(pixels)) + le32(0) + le32(offset) + info + palette + pixels


def seeds_image_bmp():
    out = {}
    for name in ['b1.bmp', 'b4.bmp', 'b8.bmp', 'b24.bmp', 'b24core.bmp', 'b8core.bmp', 'b8rle.bmp', 'b4rle.bmp',
                 'b32v5.bmp', 'b16565.bmp', 'b16555.bmp', 'b24top.bmp', 'b24bare.dib']:
        out[name] = bytes([0]) + fixture(name)
    out['b8-swapped'] = bytes([SWAPPED]) + fixture('b8.bmp')
    out['b24-header'] = bytes([HEADER_ONLY]) + fixture('b24.bmp')
    # Headers claiming far more than the file holds.
    out['topdown-huge'] = bytes([0]) + bitmap(20000, -20000, 24, b'\x11' * 100)
    out['alpha32-huge'] = bytes([0]) + bitmap(12000, -12000, 32, b'\x10\x20\x30\x80' * 4)
    out['alpha32-over-limit'] = bytes([0]) + bitmap(24000, 24000, 32, b'\x01' * 64)
    out['rle8-topdown'] = bytes([0]) + bitmap(16, -4, 8, b'\x03\x01\x00\x02\x05\x01\x00\x00\x00\x01',
                                              b'\x00\x00\x00\x00\xff\xff\xff\x00', compression=1)
    return out


# --- GIF ---

def lzw_literals(indices, minimum=2):
    """Image data coding each index as a literal, clearing before the code width would grow."""
    width, clear, run = minimum + 1, 1 << minimum, (1 << minimum) - 2
    bits = count = 0
    data = bytearray()

    def put(code):
        nonlocal bits, count
        bits |= code << count
        count += width
        while count >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            count -= 8

    for i, v in enumerate(indices):
        if i % run == 0:
            put(clear)
        put(v)
    put(clear + 1)
    if count:
        data.append(bits & 0xFF)
    blocks = bytearray([minimum])
    for at in range(0, len(data), 255):
        block = data[at:at + 255]
        blocks += bytes([len(block)]) + block
    return bytes(blocks) + b'\x00'


FOUR_COLOURS = b'\x00\x00\x00\xff\x00\x00\x00\xff\x00\x00\x00\xff'


def gif_screen(width, height, table=True):
    return b'GIF89a' + le16(width) + le16(height) + bytes([0x81 if table else 0, 0, 0]) + (FOUR_COLOURS if table else b'')


def gif_control(disposal, transparent=-1, colour_byte=0):
    flags = disposal << 2 | (1 if transparent >= 0 else 0)
    return b'\x21\xf9\x04' + bytes([flags]) + le16(0) + bytes([transparent if transparent >= 0 else colour_byte, 0])


def gif_frame(left, top, width, height, indices, local=False):
    return (b',' + le16(left) + le16(top) + le16(width) + le16(height) + bytes([0x81 if local else 0]) +
            (FOUR_COLOURS if local else b'') + lzw_literals(indices))


def seeds_image_gif():
    out = {}
    for name in ['gif2.gif', 'gif16.gif', 'gif256.gif', 'gif16i.gif', 'inter5.gif', 'inter9.gif']:
        out[name] = bytes([0]) + fixture(name)
    anim = fixture('anim.gif')
    for n in range(4):
        out['anim-frame%d' % n] = bytes([frame(n)]) + anim
    out['anim-all'] = bytes([ALL_FRAMES | frame(3)]) + anim
    out['anim-header'] = bytes([HEADER_ONLY]) + anim
    # A first frame disposed of by "previous", then a frame on the screen given back.
    out['previous-first'] = bytes([ALL_FRAMES | frame(1)]) + (
        gif_screen(4, 2) + gif_control(3, colour_byte=3) + gif_frame(0, 0, 4, 2, [1] * 8) + gif_control(0) +
        gif_frame(1, 0, 2, 1, [2, 2]) + b';')
    # Disposal to the background between frames at offsets.
    out['background-disposal'] = bytes([ALL_FRAMES | frame(2)]) + (
        gif_screen(6, 5) + gif_control(2, 0) + gif_frame(1, 1, 3, 3, [1, 2, 3] * 3) + gif_control(3) +
        gif_frame(2, 0, 2, 4, [3] * 8) + gif_control(0) + gif_frame(0, 0, 6, 5, [2] * 5) + b';')
    # A presumed true-colour mosaic of near screen-sized frames with four
    # pixels each (screens stay within the smaller limit of fuzzing builds).
    out['mosaic-huge'] = bytes([0]) + (
        gif_screen(2800, 2800, table=False) + gif_frame(0, 0, 2799, 2799, [1, 2, 3, 1], local=True) * 3 + b';')
    # Many frames on a large screen, all kept.
    out['kept-frames'] = bytes([ALL_FRAMES | frame(3)]) + (
        gif_screen(2800, 2800) + (gif_control(2) + gif_frame(0, 0, 2800, 2800, [1])) * 6 + b';')
    return out


# --- JPEG and EXIF ---

def jpeg_claiming(name, width, height, keep, end_marker):
    """A fixture whose frame header claims width x height, its scan cut after `keep` bytes."""
    jpeg = bytearray(fixture(name))
    sof = min(i for i in (jpeg.find(b'\xff\xc0'), jpeg.find(b'\xff\xc2'), jpeg.find(b'\xff\xc9')) if i >= 0)
    jpeg[sof + 5:sof + 9] = struct.pack('>HH', height, width)
    sos = jpeg.find(b'\xff\xda')
    scan = sos + 2 + struct.unpack('>H', jpeg[sos + 2:sos + 4])[0]
    return bytes(jpeg[:scan + keep]) + (b'\xff\xd9' if end_marker else b'')


def exif_block(motorola, dirs, links=None):
    """An APP1 EXIF block: directories of (tag, format, count, value bytes or ('dir', n)) entries."""
    e = '>' if motorola else '<'
    links = links or {}
    at, offset = [], 8
    for d in dirs:
        at.append(offset)
        offset += 2 + 12 * len(d) + 4
    block, values = (b'MM' if motorola else b'II') + struct.pack(e + 'HI', 42, 8), b''
    for n, d in enumerate(dirs):
        block += struct.pack(e + 'H', len(d))
        for tag, fmt, count, value in d:
            block += struct.pack(e + 'HHI', tag, fmt, count)
            if isinstance(value, tuple):
                block += struct.pack(e + 'I', at[value[1]])
            elif len(value) <= 4:
                block += value + b'\x00' * (4 - len(value))
            else:
                block += struct.pack(e + 'I', offset + len(values))
                values += value
        block += struct.pack(e + 'I', at[links[n]] if n in links else 0)
    return b'Exif\x00\x00' + block + values


def with_app1(jpeg, app1):
    return jpeg[:2] + b'\xff\xe1' + struct.pack('>H', len(app1) + 2) + app1 + jpeg[2:]


def exif_blocks():
    camera = exif_block(False, [
        [(271, 2, 4, b'Abc\x00'), (274, 3, 1, le16(6)), (282, 5, 1, le32(72) + le32(1)), (296, 3, 1, le16(2)),
         (34665, 4, 1, ('dir', 1)), (34853, 4, 1, ('dir', 2))],
        [(34855, 3, 1, le16(2)), (33437, 5, 1, le32(28) + le32(10)), (37510, 7, 16, b'ASCII\x00\x00\x00hello   ')],
        [(1, 2, 2, b'S\x00'), (2, 5, 3, le32(30) + le32(1) + le32(15) + le32(1) + le32(0) + le32(1))]])
    thumbnail = exif_block(True, [[(274, 3, 1, struct.pack('>H', 1)), (272, 2, 3, b'XY\x00')],
                                  [(513, 4, 1, struct.pack('>I', 8)), (514, 4, 1, struct.pack('>I', 6))]], {0: 1})
    # A directory linked from itself, many times over, and an ISO value whose factor form overflows.
    loop = [(34665, 4, 1, ('dir', 1))] * 200 + [(34855, 9, 1, le32(-2000000000))]
    self_link = exif_block(False, [[(271, 2, 4, b'Abc\x00'), (34665, 4, 1, ('dir', 1))], loop], {1: 1})
    return {'camera': camera, 'thumbnail': thumbnail, 'self-link': self_link}


def seeds_image_jpeg():
    out = {}
    for name in ['j420.jpg', 'j444.jpg', 'jgrey.jpg', 'jprog.jpg', 'jarith.jpg', 'jrestart.jpg', 'jcmyk.jpg',
                 'jcm.jpg', 'jaspect.jpg']:
        out[name] = bytes([0]) + fixture(name)
    j420 = fixture('j420.jpg')
    for n in (1, 2, 3):
        out['j420-scale%d' % n] = bytes([scale(n)]) + j420
    out['j420-quantised'] = bytes([0x40 | scale(2)]) + j420
    out['j420-grey'] = bytes([0x60]) + j420
    out['j420-header'] = bytes([HEADER_ONLY]) + j420
    out['j420-cut'] = bytes([0]) + j420[:len(j420) * 2 // 3]
    # Headers claiming 20000 x 20000 over a few bytes of scan.
    out['claim-cut'] = bytes([0]) + jpeg_claiming('jgrey.jpg', 20000, 20000, 6, False)
    out['claim-ended'] = bytes([0]) + jpeg_claiming('jgrey.jpg', 20000, 20000, 6, True)
    out['claim-progressive'] = bytes([0]) + jpeg_claiming('jprog.jpg', 20000, 20000, 20, True)
    out['claim-arithmetic'] = bytes([0]) + jpeg_claiming('jarith.jpg', 20000, 20000, 20, True)
    for name, block in exif_blocks().items():
        out['exif-' + name] = bytes([0]) + with_app1(j420, block)
    return out


def seeds_image_exif():
    out = {}
    j420 = fixture('j420.jpg')
    for name, block in exif_blocks().items():
        out['sections-' + name] = bytes([0]) + with_app1(j420, block)
        out['written-' + name] = bytes([2]) + with_app1(j420, block)
        out['block-' + name] = bytes([1]) + block
    out['comment'] = bytes([2]) + j420[:2] + b'\xff\xfe\x00\x07a\r\nb\x01' + j420[2:]
    out['many-sections'] = bytes([0]) + j420[:2] + b'\xff\xe5\x00\x02' * 21 + j420[2:]
    return out


# --- PNG ---

def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(width, height, depth, colour, rows, extra=b''):
    ihdr = struct.pack('>IIBBBBB', width, height, depth, colour, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', ihdr) + extra + png_chunk(b'IDAT', zlib.compress(rows)) +
            png_chunk(b'IEND', b''))


def seeds_image_png():
    out = {}
    for name in sorted(os.listdir(DATA)):
        if name.endswith('.png'):
            out[name] = bytes([0]) + fixture(name)
    out['rgba8-header'] = bytes([HEADER_ONLY]) + fixture('rgba8.png')
    # Grey and alpha claiming 20000 x 20000 over one short row.
    out['grey-alpha-huge'] = bytes([0]) + png(20000, 20000, 8, 4, b'\x00\x01\x02\x03\x04')
    out['palette-trns'] = bytes([0]) + png(3, 1, 8, 3, b'\x00\x00\x01\x02',
                                           png_chunk(b'PLTE', b'\x10\x20\x30\x40\x50\x60\x70\x80\x90') +
                                           png_chunk(b'tRNS', b'\x00\x80'))
    return out


# --- TIFF ---

def tiff_file(width, height, strip, entries):
    """A little-endian TIFF of one strip: (tag, type, count, value bytes) entries."""
    entries = list(entries) + [(256, 4, 1, le32(width)), (257, 4, 1, le32(height)), (273, 4, 1, le32(8)),
                               (278, 4, 1, le32(height)), (279, 4, 1, le32(len(strip)))]
    entries.sort()
    pad = b'\x00' * (len(strip) & 1)
    directory = 8 + len(strip) + len(pad)
    extra = directory + 2 + 12 * len(entries) + 4
    ifd, values = le16(len(entries)), b''
    for tag, kind, count, value in entries:
        ifd += le16(tag) + le16(kind) + le32(count)
        if len(value) <= 4:
            ifd += value + b'\x00' * (4 - len(value))
        else:
            ifd += le32(extra + len(values))
            values += value
    return b'II' + le16(42) + le32(directory) + strip + pad + ifd + le32(0) + values


def colour_tiff(bits, alpha, orientation):
    samples = 4 if alpha else 3
    strip = b''
    for i in range(5 * 3):
        pixel = [i * 17 % 256, i * 5 % 256, 255 - i, 128 + i][:samples]
        strip += b''.join(bytes([v]) if bits == 8 else le16(v * 257) for v in pixel)
    entries = [(258, 3, samples, le16(bits) * samples), (259, 3, 1, le16(1)), (262, 3, 1, le16(2)),
               (274, 3, 1, le16(orientation)), (277, 3, 1, le16(samples)), (284, 3, 1, le16(1))]
    if alpha:
        entries.append((338, 3, 1, le16(2)))
    return tiff_file(5, 3, strip, entries)


def seeds_image_tiff():
    out = {}
    for name in sorted(os.listdir(DATA)):
        if name.endswith('.tif') and not name.startswith('t_or') or name in ('t_or6.tif', 't_or8.tif'):
            out[name] = bytes([0]) + fixture(name)
    for n in (1, 2):
        out['pages-%d' % n] = bytes([frame(n)]) + fixture('t_pages.tif')
    out['rgb-header'] = bytes([HEADER_ONLY]) + fixture('t_rgb.tif')
    for bits in (8, 16):
        for orientation in (6, 8):
            out['rgb%d-or%d' % (bits, orientation)] = bytes([0]) + colour_tiff(bits, bits == 8, orientation)
    # A JPEG strip of a few bytes claiming 16000 x 16000 samples.
    out['jpeg-strip-claim'] = bytes([0]) + tiff_file(16000, 16000, jpeg_claiming('jgrey.jpg', 16000, 16000, 8, True),
                                                     [(258, 3, 1, le16(8)), (259, 3, 1, le16(7)),
                                                      (262, 3, 1, le16(1)), (277, 3, 1, le16(1))])
    return out


def seeds_image_detect():
    out = {}
    for name in ['b8.bmp', 'b24bare.dib', 'gif16.gif', 'j420.jpg', 'g8.png', 'p4_i.png', 't_pal8.tif',
                 't_jpeg.tif']:
        out[name] = bytes([0]) + fixture(name)
    out['not-an-image'] = bytes([0]) + b'BM but not quite an image, nor anything else'
    return out


# --- Records the peer sends ---

def text_part(text):
    return le32(len(text)) + text


def pad8(data):
    return data + b'\x00' * (-len(data) % 8)


def point(x, y, elevation=0, angle=0.0):
    return struct.pack('<dd4sid16s', y, x, b'', elevation, angle, b'')


def seeds_record_folder():
    name = '文件夹'.encode('utf-8')
    folder = (name + b'\x00' * (100 - len(name)) + le32(2) + b'\x00' * 7 + b'\x01' + b'\x00' * 3 + b'\x01' +
              b'\x00' * 60)
    return {'folder': folder, 'short': folder[:175], 'unterminated': b'A' * 176}


def seeds_record_sign():
    fixed = bytearray(416)
    fixed[0:4] = b'sign'
    fixed[112:128] = struct.pack('<dd', 30.5, 120.25)
    fixed[128] = 2
    fixed[144:152] = le32(12) + le32(0x0000ff)
    fixed[153] = 3
    fixed[268:276] = le32(12) + le32(0xff00ff)
    fixed[280:284] = struct.pack('<f', 45.0)
    fixed = bytes(fixed)
    return {'text': fixed + text_part('备注'.encode('utf-8')), 'no-text': fixed + le32(0),
            'text-with-nul': fixed + text_part(b'a\x00b'), 'long-count': fixed + le32(1000)}


def points_record(fixed_size, count_offset, count, text=b'', extra_points=0):
    fixed = bytearray(fixed_size)
    fixed[0:5] = b'track'
    fixed[count_offset:count_offset + 4] = le32(count)
    head = pad8(bytes(fixed) + text_part(text))
    points = b''.join(point(i, -i, 65536 if i == 2 else i, 0.5) for i in range(count + extra_points))
    return head + points


def seeds_record_track():
    return {'three': points_record(200, 120, 3, b'remark'), 'none': points_record(200, 120, 0),
            'count-beyond': points_record(200, 120, 5, b'', -2), 'pieces': points_record(200, 120, 6, b'x')}


def seeds_record_shape():
    return {'ring': points_record(200, 120, 4, b'shape'), 'none': points_record(200, 120, 0, b'x'),
            'count-beyond': points_record(200, 120, 3, b'abc', -1)}


def seeds_record_multipart():
    def record(parts, text=b'multi'):
        fixed = bytearray(480)
        fixed[0:5] = b'multi'
        fixed[120:124] = le32(len(parts))
        fixed[425:427] = b'\x07\x3c'
        fixed[428:432] = le32(255)
        data = pad8(bytes(fixed) + text_part(text))
        items = b''
        for n in parts:
            part = bytearray(1432)
            part[1416:1420] = le32(n)
            data += bytes(part)
            items += b''.join(struct.pack('<dd', i, -i) for i in range(n))
        return data + items

    return {'two-parts': record([2, 3]), 'empty': record([]), 'empty-part': record([0, 1], b''),
            'items-short': record([4])[:-16]}


def seeds_linetype_table():
    def table(items):
        head = bytearray(96)
        head[4:8] = le32(len(items))
        data = bytes(head)
        for name, subs in items:
            item = bytearray(384)
            item[0:len(name)] = name
            item[320:328] = struct.pack('<d', 1.5)
            item[328:332] = le32(7)
            item[332:336] = le32(subs)
            data += bytes(item) + bytes(range(248)) * subs
        return data

    return {'two': table([(b'DASHED', 2), ('点划线'.encode('utf-8'), 0)]), 'empty': table([]),
            'cut': table([(b'X', 3)])[:-100]}


def seeds_item_list184():
    def answer(extras):
        data = b'\x00' * 100
        for length in extras:
            item = bytearray(184)
            item[172:176] = le32(length)
            data += bytes(item) + b'e' * max(length, 0) * 4
        return data

    # The first byte: capacity << 1, and 1 for lengths counted in 4-byte words.
    return {'bytes': bytes([8 << 1]) + answer([3, 0, 5]), 'words': bytes([8 << 1 | 1]) + answer([1, 2]),
            'capacity-one': bytes([1 << 1]) + answer([0, 0]), 'not-zero': bytes([4 << 1]) + b'\x01' + b'\x00' * 120}


# --- Base library and platform texts ---

def seeds_base_numtext():
    out = {}
    for i, text in enumerate([b'12345', b'0x1F2e', b'-9223372036854775808', b'99999999999999999999999',
                              b'4294967296', b'  42', b'0x', b'1e10']):
        out['text%d' % i] = bytes([10 + i]) + struct.pack('<d', [0.5, 2.9999999, -1e300, float('nan')][i % 4]) + text
    return out


def seeds_base_utf8():
    return {'ascii': bytes([3]) + b'hello', 'chinese': bytes([2]) + '中文字符'.encode('utf-8'),
            'four-byte': bytes([1]) + b'ab\xf0\x9f\x98\x80c', 'bad-four': bytes([5]) + b'a\xf0bcdef',
            'beyond': bytes([1]) + b'a\xf4\x90\x80\x80b', 'cut': bytes([9]) + b'\xe4\xb8\xad\xe4\xb8',
            'surrogates': bytes([4]) + b'\xed\xa0\xbd\xed\xb8\x80', 'gbk': bytes([7]) + '中文'.encode('gbk'),
            'stray': bytes([0]) + b'a\x80b\xfe\xff'}


def seeds_base_scantext():
    texts = [b'10.0.1.254', b'a.b.c.d', b'00:1a:2b:3c:4d:5e', b'192.168.0.1/24', b'10.0.0.0/255.255.0.0',
             b'name = Tom  age:\t-42 ', b'x=7\r\ny=2.5', b'word', b'1.5 7 1.2.3.4 rest', b'a x\r\nb -3 end']
    return {'format%d' % i: bytes([i]) + t for i, t in enumerate(texts)}


def seeds_base_keyvalue():
    return {'key': bytes([40]) + b'path\x00path = "C:\\\\a b"\nsize=12\r\n',
            'tag': bytes([9]) + b'name\x00<name>value</name><name>',
            'indented': bytes([255]) + b'size\x00  \tsize  =  -7\r\nsize=3\n',
            'unquoted': bytes([1]) + b'k\x00k="open\n'}


def seeds_base_encodings():
    return {'standard': b'aGVsbG8gd29ybGQ=\x00hello world', 'url': b'a-_b\x00\x00\x01\x02\xff',
            'odd': b'QQ\x00\xfe\xff\x00\xd8\x00\xdc', 'stray': b'#$%^\x00\x41\x00\x00\xd8'}


def seeds_base_address():
    out = {}
    for i, text in enumerate([b'192.168.1.1', b'10.0.0.0/8', b'10.1.0.0/255.255.0.0', b'00:1A:2b:3C:4d:5E',
                              b'-42', b'256.1.1.1', b'1.2.3', b'1.2.3.4/33']):
        out['text%d' % i] = le32(-100) + le32(100) + text
    return out


def seeds_base_textutil():
    return {'wildcard': bytes([20]) + b'*.t?t\x00%d %s\x00Readme.TXT\r\nnext line\r\n',
            'formats': bytes([3]) + b'%d of %s\x00%i of %s\x00a%sb%%c',
            'spans': bytes([64]) + b'<!--\x00-->\x00keep <!-- drop --> keep <!-- open',
            'replace': bytes([5]) + b'ab\x00abcabc\x00ababab\r\n'}


def seeds_profile_file():
    ini = b'[VelkArx]\r\nSetting=AB0102FF0134\r\nName=\xd6\xd0\xce\xc4\r\n\r\n[TempPath]\r\nPath=C:\\Temp\r\n'
    utf16 = '\ufeff[节]\r\n键=值\r\n'.encode('utf-16-le')
    return {'ansi': bytes([64]) + b'VelkArx\x00Setting\x00' + ini, 'utf16': bytes([7]) + '节'.encode('utf-8') +
            b'\x00x\x00' + utf16, 'struct': bytes([3]) + b'S\x00K\x00[S]\nK=0102030406\n',
            'broken': bytes([1]) + b'a\x00b\x00[no end\r\n=value\r\n[]\r\nkey\r\n'}


# --- the receive walk ---

def exchange_buffer(records):
    """The packet head, the root header counting every byte after it, then
    each (kind, peer id, parent id, body) behind its 64-byte header."""
    body = b''
    for kind, peer_id, parent, data in records:
        body += le32(len(data)) + le32(kind) + le32(peer_id) + le32(parent) + b'\x00' * 48 + data
    return le16(101) + b'\x00' * 14 + le32(len(body)) + b'\x00' * 60 + body


def folder_record(name, children):
    fixed = bytearray(176)
    fixed[0:len(name)] = name
    fixed[100:104] = le32(children)
    fixed[111] = 1
    return bytes(fixed)


def sign_record(name, x, y, sign_type=1, icon=12, multi=0, remark=b''):
    fixed = bytearray(416)
    fixed[0:len(name)] = name
    fixed[112:128] = struct.pack('<dd', y, x)
    fixed[128] = 2
    fixed[144:152] = le32(icon) + le32(0x00ff00)
    fixed[153] = sign_type
    fixed[268:276] = le32(0) + le32(0xff0000)
    fixed[280:284] = struct.pack('<f', 30.0)
    fixed[376] = multi
    return bytes(fixed) + text_part(remark)


def track_record(shape_type, points, text=b''):
    fixed = bytearray(200)
    fixed[0:5] = b'track'
    fixed[120:125] = le32(len(points)) + b'\x02'
    fixed[144:155] = le32(0xff0000) + le32(250) + bytes([50, shape_type, 3])
    return pad8(bytes(fixed) + text_part(text)) + b''.join(point(*p) for p in points)


def shape_record(points, start=0.0, end=0.0, outer=0, fill_type=0, pattern=0):
    fixed = bytearray(200)
    fixed[0:5] = b'shape'
    fixed[120:125] = le32(len(points)) + b'\x02'
    fixed[128:147] = struct.pack('<dd', start, end) + bytes([1, 50, 50])
    fixed[150:152] = le16(outer)
    fixed[152:172] = le32(0xff0000) + le32(0x00ff00) + le32(fill_type) + le32(1) + le32(pattern)
    fixed[172:200] = le32(0x1000000 | 0x0000ff) + struct.pack('<ffdd', 45.0, 2.0, 0.0, 0.0)
    return pad8(bytes(fixed) + text_part(b'remark')) + b''.join(point(*p) for p in points)


def multipart_record(parts):
    fixed = bytearray(480)
    fixed[0:5] = b'multi'
    fixed[120:124] = le32(len(parts))
    fixed[428:432] = le32(255)
    data = pad8(bytes(fixed) + text_part(b''))
    for n in parts:
        part = bytearray(1432)
        part[1416:1420] = le32(n)
        data += bytes(part)
    return data + b''.join(struct.pack('<dd', i, -i) for n in parts for i in range(n))


def seeds_receive_walk():
    # Options byte: 1 icons, 2 colour by layer, 4 and 8 the follow mode,
    # 16 no hint, 32 contour lines. Folder 1000 stands for a block the
    # drawing sent earlier.
    square = [(0, 0), (10, 0), (10, 10), (0, 10)]
    every_kind = exchange_buffer([
        (30, 2000, 0, folder_record(b'roads', 0)),
        (7, 2001, 2000, sign_record(b'well', 5, 5)),
        (7, 2002, 2000, sign_record(b'note', 6, 6, 3, 0, 1, b'one\r\ntwo')),
        (8, 2003, 2000, track_record(5, [(0, 0, 0, 0.5), (5, 0), (5, 5, 65536), (9, 9, 3)])),
        (8, 2004, 0, track_record(6, [(1, 1), (2, 2, 7)])),
        (8, 2005, 0, track_record(7, [(0, 0, 0, 30.0), (4, 0, 0, 120.0)])),
        (8, 2006, 0, track_record(7, [(0, 10), (10, 0), (0, -10)])),
        (8, 2007, 0, track_record(9, [(0, 0), (4, 0, 0, 359.99998998), (0, 9)])),
        (8, 2008, 0, track_record(10, [(0, 0, 1), (3, 4, 2), (6, 0, 3), (9, 4, 4)])),
        (8, 2009, 0, track_record(1, [(0, 0, 5), (3, 4, 5)])),
        (13, 2010, 0, shape_record([(0, 0), (10, 5)])),
        (13, 2011, 0, shape_record([(0, 10), (10, 0)], 0.0, 360.0, fill_type=1, pattern=2)),
        (13, 2012, 0, shape_record([(0, 10), (10, 0)], 30.0, 120.0, fill_type=3, pattern=2)),
        (13, 2013, 0, shape_record(square + [(2, 2, 65536), (4, 2), (4, 4)], outer=1, fill_type=3, pattern=9)),
        (11, 2014, 0, multipart_record([3, 4])),
        (11, 2015, 0, multipart_record([])),
    ])
    block = exchange_buffer([
        (30, 1000, 0, folder_record(b'BlockRef_door', 2)),
        (7, 3001, 1000, sign_record(b'a', 1, 1)),
        (8, 3002, 1000, track_record(5, [(0, 0), (1, 1)])),
        (7, 3003, 0, sign_record(b'after', 700, 800)),
    ])
    # Shapes where the host's loop joining works with whole coordinates
    # (2^33 on), across that bound, far out, and with ends that are no
    # finite number.
    bound = 2.0 ** 33
    far_out = exchange_buffer([
        (13, 5001, 0, shape_record([(bound - 1, 0), (bound + 1, 0), (bound + 1, 1), (bound - 1, 1)], fill_type=1)),
        (13, 5002, 0, shape_record([(1e33, 1e33), (3e33, 1e33), (3e33, 2e33)], fill_type=3, pattern=2)),
        (13, 5003, 0, shape_record([(-1e307, -1e307), (1e307, 1e307)], fill_type=1)),
        (13, 5004, 0, shape_record([(0, 0), (float('inf'), 0), (0, 1e300)], fill_type=1)),
    ])
    contour = exchange_buffer([(8, 0, 0, track_record(5, [(0, 0, 1200), (5, 0, 1200), (9, 3, 1200)])),
                               (8, 4001, 0, track_record(5, [(0, 0, -50), (5, 0, -50)]))])
    return {
        'every-kind': bytes([0x01]) + every_kind,
        'by-layer-follow': bytes([0x02 | 0x08]) + every_kind,
        'block': bytes([0x00]) + block,
        'contour': bytes([0x20]) + contour,
        'total-beyond': bytes([0x01]) + every_kind[:16] + le32(len(every_kind)) + every_kind[20:],
        'cut': bytes([0x01]) + every_kind[:-5],
        'negative-size': bytes([0x00]) + block[:80] + le32(0xffffff00) + block[84:],
        'shapes-far-out': bytes([0x00]) + far_out,
    }


# --- the contour answer and the cross-section base line ---

def seeds_contour_answer():
    def answer(status, state, data, announced=None):
        record = bytearray(192)
        record[52:56] = le32(12)
        record[64:68] = le32(state)
        record[68:72] = le32(status)
        record[88:92] = le32(len(data) if announced is None else announced)
        return bytes(record) + data

    lines = exchange_buffer([(8, 0, 0, track_record(5, [(0, 0, 1200), (10, 0, 1200), (20, 5, 1200)])),
                             (8, 0, 0, track_record(5, [(0, 10, 1250), (30, 12, 1250)]))])
    return {'done': answer(0, 1, lines), 'part': answer(-102, 1, lines), 'empty-done': answer(0, 1, b''),
            'range': answer(-101, 1, b''), 'incomplete': answer(-7, 2, b''), 'none': answer(-7, 0, b''),
            'ask-again': answer(-7, 1, b''), 'failed': answer(-103, 1, b''),
            'announces-more': answer(0, 1, lines, len(lines) + 1), 'negative-length': answer(0, 1, lines, -8),
            'short': answer(0, 1, b'')[:100]}


def seeds_section_baseline():
    # Options byte: the section's kind (0 to 3), 4 the ends swapped.
    def base_line(points):
        return exchange_buffer([(8, 0, 0, track_record(5, points))])

    straight = exchange_buffer([(30, 0, 0, folder_record(b'folder', 1)), (8, 0, 0, track_record(5, [(1, 1), (11, 1)]))])
    bent = base_line([(0, 0), (40, 0), (60, 30), (100, 30)])
    huge = bytearray(straight)
    huge[80:84] = le32(0x7FFFFFF0)
    return {'straight': bytes([0]) + straight, 'straight-left-swapped': bytes([6]) + straight,
            'bent': bytes([1]) + bent, 'repeated': bytes([0]) + base_line([(0, 0), (0, 0), (5, 0)]),
            'hairpin': bytes([0]) + base_line([(0, 0), (10, 0), (0, -0.5)]),
            'huge-size': bytes([0]) + bytes(huge), 'cut': bytes([3]) + bent[:-20]}


def tile_record(path, status, level=16, map_type=1, width=512, height=512, ready=1,
                rect=(499984.0, 2999984.0, 500016.0, 3000016.0), total=0, done=0, mark=0):
    utf8 = path.encode('utf-8')
    record = bytearray(472)
    digest = hashlib.md5(utf8[:260]).digest()
    record[0:8] = (int.from_bytes(digest[:8], 'little') & ~(1 << 63)).to_bytes(8, 'little')
    record[8:16] = (1).to_bytes(8, 'little')
    record[16:20] = le32(1)
    record[20:24] = struct.pack('<i', status)
    record[24:24 + len(utf8)] = utf8
    record[280] = ready
    record[304:336] = struct.pack('<4d', *rect)
    record[336] = 2
    record[340:356] = struct.pack('<4i', level, map_type, width, height)
    record[368:380] = struct.pack('<3i', total, done, mark)
    record[384] = 1
    return bytes(record)


def map_report(x, y, level, map_type):
    report = bytearray(104)
    report[24:40] = struct.pack('<2d', x, y)
    report[44:52] = struct.pack('<2i', level, map_type)
    return bytes(report)


def seeds_tile_reply():
    tile = 'C:\\Temp\\MapTemp\\1\\1\\16\\0_0.png'

    def step(kind, payload=b''):
        if kind in (0, 1):
            return bytes([kind]) + struct.pack('<H', len(payload)) + payload
        return bytes([kind])

    return {
        'placed': bytes([0]) + step(0, tile_record(tile, 1)) + step(2) + step(2),
        'other-level': bytes([1]) + step(0, tile_record(tile, 1, level=15)) + step(2),
        'retried': bytes([0]) + step(0, tile_record(tile, -102)) + step(3) + step(0, tile_record(tile, 1)),
        'capture-progress': bytes([8]) + step(0, tile_record('C:\\dwg\\tiles_REFMAP\\a.jpg', -102, width=900,
                                                             height=700, total=100, done=30, mark=20)),
        'followed': bytes([4]) + step(1, map_report(500400.0, 3000200.0, 15, 1)) + step(0, tile_record(tile, 1))
                    + step(2),
        'hostile': bytes([6]) + step(1, map_report(float('nan'), 1e300, 99, -7))
                   + step(0, tile_record(tile, 1, rect=(1.0, 1.0, 1.0, 1.0)))
                   + step(0, tile_record('C:\\Temp\\MapTemp\\1\\..\\x.png', 1)) + step(2),
    }


# --- the receiver window ---

# The codes the receiver accepts, in the target's order: a step's selector
# is an index into this list, one past it lets a second pass.
RECEIVER_CODES = [20001, 20012, 20020, 20100, 20101, 20105, 20107, 20110, 20112, 20201, 20202,
                  20203, 20204, 20211, 20212, 20301, 20302, 20303, 20401, 20402, 20601]
ICONS, FOLLOW_BOTH, BASE_LINE, MATCH_ONLY, COORD_PENDING, ECHO_FILE, COORD_WINDOW = 0x01, 0x06, 0x08, 0x10, 0x20, 0x40, 0x80


def receiver_step(code, payload=b''):
    return le32(RECEIVER_CODES.index(code)) + le16(len(payload)) + payload


def receiver_clock_step():
    return le32(len(RECEIVER_CODES)) + le16(0)


def folder_items(items):
    data = b'\x00' * 16
    for peer_id, kind, name in items:
        item = bytearray(108)
        item[0:8] = le32(peer_id) + le32(kind)
        item[8:8 + len(name)] = name
        data += bytes(item)
    return data


def seeds_receiver_copydata():
    objects = exchange_buffer([
        (30, 2000, 0, folder_record(b'roads', 2)),
        (7, 2001, 2000, sign_record(b'well', 5, 5)),
        (8, 2002, 2000, track_record(5, [(0, 0), (5, 0), (5, 5)])),
    ])
    contour = bytearray(192)
    contour[64:72] = le32(1) + le32(0)
    contour[88:92] = le32(len(objects))
    coord = bytearray(72)
    coord[40:44] = le32(1)
    coord[44:60] = b'cgcs2000-114e-3d'
    origin = bytearray(40)
    origin[24:40] = struct.pack('<2d', 500000.0, 3000000.0)
    levels = b''.join(struct.pack('<2d', 4096.0 / (1 << n), 4096.0 / (1 << n)) + b'\x00' * 88 for n in range(1, 29))
    notice = bytearray(64)
    notice[0:8] = le32(1) + le32(30000)
    version = bytearray(408)
    version[4:8] = le32(30000)
    echo = bytearray(788)
    echo[100] = 1
    echo[108:116] = struct.pack('<q', 123456789101112)
    echo[116:132] = b'C:\\Temp\\echo.txt'
    echo[372:376] = le32(14)
    match = bytearray(120)
    match[16:48] = struct.pack('<4d', 499900.0, 2999900.0, 500100.0, 3000100.0)
    match[68:76] = le32(1600) + le32(900)
    search = bytearray(540)
    search[536:540] = le32(2000)
    answer = le32(0) + le32(7) + le32(2001) + le32(0) + b'\x00' * 48
    linetypes = bytearray(96)
    linetypes[4:8] = le32(1)
    linetype = bytearray(384)
    linetype[0:6] = b'DASHED'
    linetype[320:336] = struct.pack('<d', 1.5) + le32(7) + le32(0)
    base_line = exchange_buffer([(8, 2003, 0, track_record(1, [(0, 0), (100, 0), (200, 50)]))])
    tile = tile_record('C:\\Temp\\MapTemp\\1\\1\\16\\0_0.png', 1)

    def one(code, payload=b'', options=0):
        return bytes([options]) + receiver_step(code, payload)

    return {
        '20001-coordinate-window': one(20001, struct.pack('<2d', 30.5, 114.3) + b'\x00' * 8, COORD_WINDOW),
        '20012-map-state': one(20012, map_report(500400.0, 3000200.0, 15, 1), FOLLOW_BOTH),
        '20020-test-echo': one(20020, bytes(echo) + b'ABCDEF12344xyz\x00', ECHO_FILE),
        '20100-folder-list': one(20100, folder_items([(2000, 30, b'roads'), (2001, 7, b'well')])),
        '20101-folder-lookup': one(20101, b'\x00\x00\x1e\x00' + le32(0) + le32(2000) + le32(0)),
        '20105-search-list': one(20105, folder_items([(2000, 30, b'roads')])),
        '20107-folder-search': one(20107, bytes(search)),
        '20110-objects': one(20110, objects, ICONS),
        '20110-base-line': one(20110, base_line, BASE_LINE),
        '20112-object-answer': one(20112, answer * 2),
        '20201-ask-again': one(20201, struct.pack('<i', -1)),
        '20201-accepted': one(20201, le32(0)),
        '20202-coordinate-system': one(20202, bytes(coord) + b'CGCS2000\x00', COORD_PENDING),
        '20203-update-notice': one(20203, bytes(notice) + 'new version'.encode('utf-8')),
        '20204-plugin-version': one(20204, bytes(version)),
        '20211-origin': one(20211, bytes(origin)),
        '20212-levels': one(20212, levels),
        '20301-match-view': one(20301, bytes(match), MATCH_ONLY),
        '20302-tile': one(20302, tile),
        '20303-contour': one(20303, bytes(contour) + objects),
        '20401-button': one(20401, le32(1)),
        '20402-objects-ready': one(20402),
        '20601-linetypes': one(20601, bytes(linetypes) + bytes(linetype)),
        'sequence': bytes([FOLLOW_BOTH]) + receiver_step(20601, bytes(linetypes) + bytes(linetype))
                    + receiver_step(20212, levels) + receiver_step(20211, bytes(origin))
                    + receiver_step(20110, objects) + receiver_clock_step() + receiver_step(20402)
                    + receiver_clock_step() + le32(20009) + le16(4) + le32(1),
    }


# --- the settings file ---

def settings_record(version=162, max_level=20, follow=0, icons_metres=60):
    record = bytearray(160)
    record[8:28] = struct.pack('<2d', 1.0, 2.0) + b'\x00' * 4
    record[28:60] = struct.pack('<8i', 1000, icons_metres, max_level, 0, 0, 18, version, follow)
    record[60:62] = b'\x01\x01'
    return bytes(record)


def profile_struct(data):
    return ''.join('%02X' % b for b in data) + '%02X' % (sum(data) & 0xFF)


def seeds_settings_file():
    # Options byte: 1 the record and cache root follow, stored as the module
    # stores them; 2 they lie in the old file beside the module.
    ini = ('[VelkArx]\r\nini=%s\r\n[TempPath]\r\nMapTemp=C:\\Temp\\maps\r\n' % profile_struct(settings_record(140)))
    return {
        'current': bytes([1]) + settings_record() + b'C:\\Temp\\maps\x00',
        'old-version': bytes([1]) + settings_record(0, 0),
        'out-of-range': bytes([1]) + settings_record(162, 0x7FFFFFFF, 9, -5),
        'old-file': bytes([3]) + settings_record(150),
        'file': bytes([0]) + ini.encode('ascii'),
        'wrong-checksum': bytes([0]) + b'[VelkArx]\r\nini=0102\r\n',
    }


# --- the stand-in host's DXF reader ---

def trimmed_dxf(data, keep=(b'$ACADVER', b'$DWGCODEPAGE', b'$HANDSEED')):
    """The drawing without its classes and with only a few header values,
    group codes unpadded: the same tables, blocks, entities and objects in
    far fewer bytes, so that each fuzzed input runs quicker."""
    lines = data.replace(b'\r\n', b'\n').split(b'\n')
    pairs = [(lines[i].strip(), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]
    out, section, keep_value = [], None, True
    for k, (code, value) in enumerate(pairs):
        if code == b'0' and value.strip() == b'SECTION':
            section = pairs[k + 1][1].strip()
        if section == b'CLASSES':
            if code == b'0' and value.strip() == b'ENDSEC':
                section = None
            continue
        if section == b'HEADER':
            if code == b'9':
                keep_value = value.strip() in keep
            elif code == b'0':
                keep_value = True
            if not keep_value:
                continue
        out.append(code + b'\n' + value + b'\n')
    return b''.join(out)


def dxf_text(sections):
    """A DXF file of (section name, [(code, value), ...]) pairs."""
    lines = []
    for name, groups in sections:
        lines += ['0', 'SECTION', '2', name]
        for code, value in groups:
            lines += [str(code), str(value)]
        lines += ['0', 'ENDSEC']
    lines += ['0', 'EOF']
    return ('\n'.join(lines) + '\n').encode('utf-8')


def dxf_kept_paths():
    """Small files for what the reader keeps rather than models: extended
    data, a subclass it does not know, padded lower-case handles, object
    coordinates, a reference in rows and columns, a loop with a gap, a
    polyface mesh, a whole unknown section and class."""
    header = ('HEADER', [(9, '$ACADVER'), (1, 'AC1024'), (9, '$UNKNOWNVAR'), (70, 3), (9, '$HANDSEED'), (5, '  FF')])
    classes = ('CLASSES', [(0, 'CLASS'), (1, 'MYTHING'), (2, 'AcDbMyThing'), (3, 'app'), (90, 0), (280, 0), (281, 0)])
    tables = ('TABLES', [(0, 'TABLE'), (2, 'APPID'), (5, '9'), (0, 'APPID'), (5, '12'), (2, 'APP'), (70, 0),
                         (0, 'ENDTAB')])
    blocks = ('BLOCKS', [(0, 'BLOCK'), (2, 'B'), (10, 0), (20, 0), (30, 0), (4, 'description'), (0, 'LINE'), (10, 0),
                         (20, 0), (11, 1), (21, 1), (0, 'ENDBLK')])
    entities = [
        (0, 'LINE'), (5, '  2a'), (100, 'AcDbEntity'), (8, '0'), (284, 1), (100, 'AcDbLine'), (10, 0), (20, 0),
        (30, 0), (11, 1), (21, 1), (31, 0), (100, 'AcDbSomethingElse'), (300, 'kept'), (340, '2b'), (1001, 'APP'),
        (1000, 'x'), (1002, '{'), (1070, 5), (1005, '2A'), (1010, 1), (1020, 2), (1030, 3), (1002, '}'),
        (0, 'TEXT'), (5, '2b'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbText'), (10, 1), (20, 2), (30, 3),
        (40, 1), (1, 'down'), (210, 0), (220, 0), (230, -1), (100, 'AcDbText'),
        (0, 'INSERT'), (5, '2c'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbMInsertBlock'), (2, 'B'), (10, 0),
        (20, 0), (30, 0), (70, 3), (71, 2), (44, 10), (45, 5), (210, 0), (220, 0), (230, -1),
        (0, 'HATCH'), (5, '2d'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbHatch'), (10, 0), (20, 0), (30, 0),
        (210, 0), (220, 0), (230, 1), (2, 'NET'), (70, 0), (71, 0), (91, 1), (92, 1), (93, 3),
        (72, 1), (10, 0), (20, 0), (11, 10), (21, 0), (72, 1), (10, 10), (20, 0.5), (11, 10), (21, 10),
        (72, 2), (10, 5), (20, 10), (40, 5), (50, 0), (51, 180), (73, 1), (97, 0), (75, 1), (76, 1), (52, 0),
        (41, 1), (77, 0), (78, 2), (53, 0), (43, 0), (44, 0), (45, 0), (46, 3.175), (79, 0), (53, 90), (43, 0),
        (44, 0), (45, -3.175), (46, 0), (79, 2), (49, 1), (49, -1), (98, 1), (10, 5), (20, 5),
        (0, 'POLYLINE'), (5, '2e'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbPolyFaceMesh'), (66, 1), (10, 0),
        (20, 0), (30, 0), (70, 64), (71, 3), (72, 1),
        (0, 'VERTEX'), (5, '2f'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbVertex'), (100, 'AcDbPolyFaceMeshVertex'),
        (10, 0), (20, 0), (30, 0), (70, 192),
        (0, 'VERTEX'), (5, '30'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbVertex'), (100, 'AcDbPolyFaceMeshVertex'),
        (10, 1), (20, 0), (30, 0), (70, 192),
        (0, 'VERTEX'), (5, '31'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbVertex'), (100, 'AcDbPolyFaceMeshVertex'),
        (10, 0), (20, 1), (30, 0), (70, 192),
        (0, 'VERTEX'), (5, '32'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbFaceRecord'), (10, 0), (20, 0), (30, 0),
        (70, 128), (71, 1), (72, 2), (73, -3),
        (0, 'SEQEND'), (5, '33'), (100, 'AcDbEntity'), (8, '0'),
        (0, 'SPLINE'), (5, '34'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbSpline'), (70, 8), (71, 3), (72, 4),
        (73, 4), (40, 0), (40, 0), (40, 1), (40, 1), (10, 0), (20, 0), (30, 0), (10, 1), (20, 1), (30, 0),
        (10, 2), (20, 0), (30, 0), (10, 3), (20, 1), (30, 0),
    ]
    objects = ('OBJECTS', [(0, 'DICTIONARY'), (5, 'C'), (330, 0), (100, 'AcDbDictionary'), (281, 1), (3, 'D'),
                           (360, '40'), (0, 'ACDBDICTIONARYWDFLT'), (5, '40'), (330, 'C'), (100, 'AcDbDictionary'),
                           (281, 1), (100, 'AcDbDictionaryWithDefault'), (340, '2a')])
    extra = ('THUMBNAILIMAGE', [(90, 4), (310, 'DEADBEEF')])
    return dxf_text([header, classes, tables, blocks, ('ENTITIES', entities), objects, extra])


def dxf_review_cases():
    """Small files for faults found in review: a record holding many groups
    of other applications, data of many applications, an MTEXT with an
    embedded object, a hatch in a plane of its own, records the database
    does not keep with handles of their own (one taken by a line), and a
    dictionary entry naming the root dictionary."""
    header = ('HEADER', [(9, '$ACADVER'), (1, 'AC1024'), (9, '$HANDSEED'), (5, 'F0'), (9, '$LTSCALE'), (40, 2.5)])
    line = [(0, 'LINE'), (5, '30'), (100, 'AcDbEntity'), (8, '0')]
    for i in range(200):
        line += [(102, '{APP%d' % i), (1, 'x'), (102, '}'), (102, '{ACAD_REACTORS'), (330, '30'), (102, '}')]
    line += [(100, 'AcDbLine'), (10, 0), (20, 0), (11, 1), (21, 1)]
    point = [(0, 'POINT'), (5, '31'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbPoint'), (10, 5), (20, 6)]
    for i in range(200):
        point += [(1001, 'APP%d' % i), (1000, 'v')]
    mtext = [(0, 'MTEXT'), (5, '32'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbMText'), (10, 1), (20, 2), (30, 0),
             (40, 2.5), (41, 10), (71, 1), (1, 'a'), (50, 30), (210, 0), (220, 0), (230, -1),
             (101, 'Embedded Object'), (70, 1), (10, 1), (20, 0), (30, 0), (11, 0), (21, 0), (31, 0), (72, 3),
             (44, 2.5)]
    hatch = [(0, 'HATCH'), (5, '33'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbHatch'), (10, 0), (20, 0), (30, 2),
             (210, 0), (220, 0), (230, -1), (2, 'SOLID'), (70, 1), (71, 0), (91, 1), (92, 3), (72, 0), (73, 1),
             (93, 3), (10, 0), (20, 0), (10, 3), (20, 0), (10, 3), (20, 3), (97, 0), (75, 0), (76, 1), (98, 0)]
    poly = [(0, 'POLYLINE'), (5, '34'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDb2dPolyline'), (66, 1), (10, 0),
            (20, 0), (30, 0), (70, 0)]
    for h, x in (('35', 1), ('30', 2)):
        poly += [(0, 'VERTEX'), (5, h), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbVertex'), (100, 'AcDb2dVertex'),
                 (10, x), (20, 0), (30, 0), (50, 33)]
    poly += [(0, 'SEQEND'), (5, '36'), (100, 'AcDbEntity'), (8, '0'), (62, 3)]
    blocks = [(0, 'BLOCK'), (5, '40'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbBlockBegin'), (2, '*D1'), (70, 1),
              (10, 0), (20, 0), (30, 0), (3, '*D1'), (0, 'LINE'), (5, '41'), (100, 'AcDbEntity'), (8, '0'),
              (100, 'AcDbLine'), (10, 0), (20, 2), (11, 10), (21, 2), (0, 'ENDBLK'), (5, '42'), (100, 'AcDbEntity'),
              (8, '0'), (100, 'AcDbBlockEnd')]
    dim = [(0, 'DIMENSION'), (5, '43'), (100, 'AcDbEntity'), (8, '0'), (100, 'AcDbDimension'), (2, '*D1'), (10, 0),
           (20, 2), (30, 0), (11, 5), (21, 2), (31, 0), (70, 33), (100, 'AcDbAlignedDimension'), (13, 0), (23, 0),
           (33, 0), (14, 10), (24, 0), (34, 0)]
    objects = [(0, 'DICTIONARY'), (5, 'C'), (330, 0), (100, 'AcDbDictionary'), (3, 'ACAD_LAYOUT'), (350, 'D'),
               (3, 'DATA'), (350, 'E'), (0, 'DICTIONARY'), (5, 'D'), (330, 'C'), (100, 'AcDbDictionary'),
               (3, 'Model'), (350, 'C'), (0, 'XRECORD'), (5, 'E'), (330, 'C'), (100, 'AcDbXrecord'), (280, 1),
               (1, 'kept')]
    return dxf_text([header, ('BLOCKS', blocks), ('ENTITIES', line + point + mtext + hatch + poly + dim),
                     ('OBJECTS', objects)])


def seeds_dxf_read():
    root = os.path.join(HERE, '..', '..')
    out = {'line-only.dxf': b'0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1\n21\n1\n0\nENDSEC\n0\nEOF\n',
           'kept-paths.dxf': dxf_kept_paths(),
           'review-cases.dxf': dxf_review_cases(),
           # Refused at once, each for what it is.
           'binary.dxf': b'AutoCAD Binary DXF\r\n\x1a\x00' + bytes(range(40)),
           'dwg.dxf': b'AC1032' + bytes(24),
           'cut.dxf': dxf_kept_paths()[:700]}
    for name in ['tests/platform/dxf/data/drawing_r2000.dxf', 'tests/platform/dxf/data/drawing_r2010.dxf',
                 'tests/common/blocks/data/part.dxf', 'tools/host/demo.dxf']:
        with open(os.path.join(root, name), 'rb') as f:
            out[os.path.basename(name)] = trimmed_dxf(f.read())
    out.update(dxf_spellings(root))
    return out


# Drawings of the spellings check (tests/platform/dxf/data/spellings.py):
# one kind in each spelling of its records, and each spelling of a whole
# drawing, as other programs write them.
SPELLED = {
    'no_markers': ['hatch_edges', 'leader', 'mtext', 'lwpolyline', 'object_acdbdictionarywdflt', 'table_ltype'],
    'own_marker_missing': ['ellipse', 'insert_attributes', 'spline_fit', 'dimension_linear', 'image',
                           'table_block_record'],
    'common_after_own': ['mtext', 'hatch_gradient', 'polyline_2d', 'leader'],
    'reordered': ['hatch_pattern', 'mline', 'table_ltype', 'object_layout'],
    'explicit_defaults': ['text', 'polyline_2d', 'table_layer', 'object_dictionary'],
}
SPELLED_WHOLE = ['carets_R12', 'carets_R2010', 'codepage_missing_cp1252_R2000', 'codepage_undefined_cp1252_R12',
                 'codepage_missing_utf8_R2000', 'lone_sequence_end_R12', 'lone_sequence_end_R2010',
                 'handle_claimed_model_layout_R2010', 'handle_claimed_block_record_R2010',
                 'handle_claimed_entity_R2010', 'owners_after_what_they_own_R2010', 'handles_backwards_R2010',
                 'names_in_other_letters_R2010', 'hatch_solid_with_pattern_values_R2010',
                 'hatch_pixel_size_zero_R2010', 'hatch_loop_count_zero_R2010',
                 'spaces_named_otherwise_model_and_paper_R2010', 'spaces_of_the_oldest_form_R12',
                 'table_without_head_block_record_R2010', 'lone_lead_bytes_ANSI_936_R2000',
                 'lone_lead_bytes_ANSI_932_R2000', 'header_values_R2000', 'numbers_in_other_forms_R2010',
                 'positions_and_angles_R2010', 'linetypes_own_marker_missing_padded_R2010']


def dxf_spellings(root):
    sys.path.insert(0, os.path.join(root, 'tests', 'platform', 'dxf', 'data'))
    import spellings  # needs ezdxf
    wanted = {'%s_%s' % (spelling, kind) for spelling, kinds in SPELLED.items() for kind in kinds}
    wanted.update(SPELLED_WHOLE)
    out = {}
    for v in spellings.variants():
        if v.name in wanted:
            out['spelling-%s.dxf' % v.name] = trimmed_dxf(v.make()[0])
    return out

def seeds_render_text():
    # Options byte: 1 multiline, 2 UTF-16, height (bits 2-4), wrap width (bits 5-7).
    mtext = [b'{\\H2x;Big} \\C1;red\\C256; \\W2;wide\\W1; \\Q15;slant \\Lunder\\l\\PNext paragraph',
             b'Stacked \\S1/2; \\S3#4; \\Sx^y; \\S+0.1^-0.2; and \\S\\;a/b;',
             b'\\fArial|b1|i0;font \\pxi-3,l3,t4;tabs^Ione\\~two %%d%%p%%c %%123 \\U+4E2D\\U+D800',
             b'{{{{\\H0.5x;nested}}}}}}} \\H1e300x;\\H1e300x;huge \\H-1; \\W0; \\Q90; \\c16777215;x \\C999;',
             b'Wrapped long text that should go onto several lines in a narrow box, with a verylongwordthatdoesnotfit',
             b'\\A1;\\T2;\\X\\N\\K\\k\\O\\o\\q\\\\\\{\\}^J^M^ ^Z\\',
             b'\\H', b'\\S1/', b'%%', b'\\U+12']
    out = {}
    for i, text in enumerate(mtext):
        out['mtext%d' % i] = bytes([1 | (i & 7) << 2 | (i * 3 & 7) << 5]) + text
    out['mtext-chinese'] = bytes([3 | 1 << 5]) + '中文字符测试换行中文\\P第二段 mixed 文字'.encode('utf-16-le')
    out['mtext-surrogates'] = bytes([3]) + b'\x3d\xd8\x00\xde\x00\xd8a\x00\x00\xdc'
    for i, text in enumerate([b'%%uUnder%%u 45%%d %%p0.1 %%c50 %%%% %%065', b'\\U+00B0 tail\\', b'%%99999']):
        out['text%d' % i] = bytes([(i & 7) << 2]) + text
    return out


def seeds_script_move():
    # Two bytes of offset (signed eighths), then the script.
    def seed(dx, dy, script):
        return struct.pack('bb', dx, dy) + script.encode('utf-8')
    return {
        'empty': seed(80, -24, ''),
        'draw': seed(8, 8, 'LINE\n0,0\n10,5\n\nPOINT\n3,4\nTEXT\n1,1\n2.5\nHello\nRECTANG\n-5,-5\n5,5\n'
                          'MTEXT\n0,20\n10,15\nMany\n'),
        'hatch-copy': seed(-16, 40, 'RECTANG\n50,50\n60,58\nHATCH\n> select last\nCOPY\n> select all\n'
                                   '0,0\n100,0\n0,100\n\n'),
        'move-erase-undo': seed(1, -1, 'MOVE\n> select all\n0,0\n0.5,0.25\nERASE\n> select type LINE\nUNDO\n'
                                       'REDO\nUNDO\n'),
        'layers': seed(24, 0, '-LAYER\nUnlock\nLOCKED\nFreeze\nLOCKED\nThaw\nFROZEN\nLock\n0\n\n'
                              'COPY\n> select all\n0,0\n3,3\n\nERASE\n> select all\n'),
        'odd-numbers': seed(3, 5, 'LINE\n0.1,0.7\n1e-300,3.3333333333333335\n\nMOVE\n> select last\n'
                                  '0,0\n123456.789,0.3\n'),
        'refused': seed(0, 0, 'MOVE\n> select all\n\nnot a point\n'),
        'undo-nothing': seed(-8, 16, 'MOVE\n> select all\n0,0\n1,2\nERASE\n> select layer LOCKED\nUNDO\n'
                                     '-LAYER\n\nZOOM\nE\nUNDO\nUNDO\nREDO\nCOPY\n> select all\n0,0\n\nUNDO\n'
                                     'MOVE\n> select all\n0,0\n0,0\nUNDO\nREDO\n'),
    }


SEEDS = {
    'image_bmp': seeds_image_bmp,
    'image_gif': seeds_image_gif,
    'image_jpeg': seeds_image_jpeg,
    'image_png': seeds_image_png,
    'image_tiff': seeds_image_tiff,
    'image_detect': seeds_image_detect,
    'image_exif': seeds_image_exif,
    'record_folder': seeds_record_folder,
    'record_sign': seeds_record_sign,
    'record_track': seeds_record_track,
    'record_shape': seeds_record_shape,
    'record_multipart': seeds_record_multipart,
    'linetype_table': seeds_linetype_table,
    'item_list184': seeds_item_list184,
    'contour_answer': seeds_contour_answer,
    'section_baseline': seeds_section_baseline,
    'base_numtext': seeds_base_numtext,
    'base_utf8': seeds_base_utf8,
    'base_scantext': seeds_base_scantext,
    'base_keyvalue': seeds_base_keyvalue,
    'base_encodings': seeds_base_encodings,
    'base_address': seeds_base_address,
    'base_textutil': seeds_base_textutil,
    'profile_file': seeds_profile_file,
    'receive_walk': seeds_receive_walk,
    'tile_reply': seeds_tile_reply,
    'receiver_copydata': seeds_receiver_copydata,
    'settings_file': seeds_settings_file,
    'dxf_read': seeds_dxf_read,
    'render_text': seeds_render_text,
    'script_move': seeds_script_move,
}


def main(names):
    for name in names or sorted(SEEDS):
        folder = os.path.join(HERE, 'corpus', name)
        # Generated seeds are rewritten; inputs kept from fuzzing runs (named
        # crash-..., slow-... or by their digest) stay.
        os.makedirs(folder, exist_ok=True)
        for old in os.listdir(folder):
            if old.startswith('seed-'):
                os.remove(os.path.join(folder, old))
        for seed, data in sorted(SEEDS[name]().items()):
            with open(os.path.join(folder, 'seed-' + seed), 'wb') as f:
                f.write(data)
        print('%s: %d seeds' % (name, len(SEEDS[name]())))


if __name__ == '__main__':
    main(sys.argv[1:])
