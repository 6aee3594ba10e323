#!/usr/bin/env python3
"""Converts a 24-bit BMP (the program's display bitmap) to a PNG, optionally
shrunk by a whole factor (each output pixel the mean of a square of input
pixels). Standard library only.

    python3 scripts/bmp_to_png.py IN.bmp OUT.png [FACTOR]
"""
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, 'rb').read()
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height = struct.unpack_from('<ii', data, 18)
    if struct.unpack_from('<H', data, 28)[0] != 24:
        raise SystemExit(f'{path}: not a 24-bit bitmap')
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        source = height - 1 - y if height > 0 else y
        start = offset + source * stride
        line = data[start:start + width * 3]
        rows.append([(line[x * 3 + 2], line[x * 3 + 1], line[x * 3]) for x in range(width)])
    return width, abs(height), rows


def shrink(width, height, rows, factor):
    out = []
    for y in range(0, height - factor + 1, factor):
        line = []
        for x in range(0, width - factor + 1, factor):
            box = [rows[y + j][x + i] for j in range(factor) for i in range(factor)]
            line.append(tuple(sum(p[c] for p in box) // len(box) for c in range(3)))
        out.append(line)
    return len(out[0]), len(out), out


def write_png(path, width, height, rows):
    raw = b''.join(b'\0' + bytes(v for p in line for v in p) for line in rows)

    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff))

    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n')
        f.write(chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b'IDAT', zlib.compress(raw, 9)))
        f.write(chunk(b'IEND', b''))


def main():
    if len(sys.argv) not in (3, 4):
        raise SystemExit(__doc__)
    width, height, rows = read_bmp(sys.argv[1])
    factor = int(sys.argv[3]) if len(sys.argv) == 4 else 1
    if factor > 1:
        width, height, rows = shrink(width, height, rows, factor)
    write_png(sys.argv[2], width, height, rows)


if __name__ == '__main__':
    main()
