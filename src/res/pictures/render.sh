#!/bin/sh
# Regenerates every PNG in this folder from its SVG source.
# Needs rsvg-convert (librsvg2-bin) and python3 (standard library only).
set -eu
cd "$(dirname "$0")"

render() {  # render SRC OUT WIDTH HEIGHT
    rsvg-convert --width "$3" --height "$4" --output "$2" "$1"
}

# Makes sure a PNG is opaque 24-bit RGB: an RGBA one is rewritten as RGB,
# composited over the given colour (rsvg-convert already writes RGB when
# every pixel is opaque, and then the file is left as it is).
flatten() {  # flatten FILE RRGGBB
    python3 - "$1" "$2" <<'PY'
import struct, sys, zlib

path, bg = sys.argv[1], bytes.fromhex(sys.argv[2])
data = open(path, 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
pos, idat = 8, b''
while pos < len(data):
    n, = struct.unpack('>I', data[pos:pos + 4])
    kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + n]
    pos += 12 + n
    if kind == b'IHDR':
        width, height, depth, ctype = struct.unpack('>IIBB', body[:10])
    elif kind == b'IDAT':
        idat += body
if depth == 8 and ctype == 2:
    sys.exit(0)  # already opaque RGB
assert depth == 8 and ctype == 6, 'expected 8-bit RGB or RGBA'

raw, bpp = zlib.decompress(idat), 4
stride = width * bpp
prev, src, out = bytearray(stride), 0, bytearray()
for _ in range(height):
    ftype, line = raw[src], bytearray(raw[src + 1:src + 1 + stride])
    src += 1 + stride
    for i in range(stride):
        a = line[i - bpp] if i >= bpp else 0
        b = prev[i]
        c = prev[i - bpp] if i >= bpp else 0
        if ftype == 1:
            line[i] = (line[i] + a) & 255
        elif ftype == 2:
            line[i] = (line[i] + b) & 255
        elif ftype == 3:
            line[i] = (line[i] + (a + b) // 2) & 255
        elif ftype == 4:
            pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    prev = line
    out.append(0)
    for x in range(0, stride, 4):
        alpha = line[x + 3]
        out += bytes((line[x + k] * alpha + bg[k] * (255 - alpha) + 127) // 255 for k in range(3))

def chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff)

with open(path, 'wb') as f:
    f.write(b'\x89PNG\r\n\x1a\n')
    f.write(chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)))
    f.write(chunk(b'IDAT', zlib.compress(bytes(out), 9)))
    f.write(chunk(b'IEND', b''))
PY
}

# Banner: opaque, 24-bit colour.
render banner.svg banner.png 320 103
flatten banner.png 0b1f4a

# Application icon: transparent; the 16 px size has its own simplified drawing.
render icon16.svg icon16.png 16 16
render icon.svg icon32.png 32 32
render icon.svg icon48.png 48 48

# Button pictures of the "What to Load" dialog: transparent.
render program.svg program.png 48 48
render preset.svg preset.png 48 48
