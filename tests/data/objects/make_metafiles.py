#!/usr/bin/env python3
"""Writes the metafile fixtures: a 200 x 100 picture, red on the left half and blue on the right.

pic.wmf is a placeable metafile of 200 x 100 units at 96 units an inch, pic-bare.wmf the same
records without the placeable header (as RTF keeps them), pic.emf an enhanced metafile of
200 x 100 device pixels on a 1024 x 768 reference device of 320 x 240 mm.
pic.gif, the same picture as a GIF, was made once with ImageMagick:
    convert -size 100x100 xc:'#ff0000' -size 100x100 xc:'#0000ff' +append pic.gif
Run it from this folder."""
import struct


def wmf_records(width, height):
    recs = []

    def rec(function, *params):
        recs.append(struct.pack('<IH', 3 + len(params), function) + b''.join(struct.pack('<h', p) for p in params))

    rec(0x020B, 0, 0)  # SETWINDOWORG y, x
    rec(0x020C, height, width)  # SETWINDOWEXT y, x
    # CREATEPENINDIRECT: PS_NULL
    recs.append(struct.pack('<IHHhhI', 8, 0x02FA, 5, 0, 0, 0))
    rec(0x012D, 0)  # SELECTOBJECT pen (object 0)
    for index, colour, left, right in ((1, 0x0000FF, 0, width // 2), (2, 0xFF0000, width // 2, width)):
        # CREATEBRUSHINDIRECT: solid, COLORREF 0x00BBGGRR
        recs.append(struct.pack('<IHHIH', 7, 0x02FC, 0, colour, 0))
        rec(0x012D, index)  # SELECTOBJECT brush
        # RECTANGLE bottom, right, top, left (the null pen leaves the right and bottom edges out)
        rec(0x041B, height + 1, right + 1, 0, left)
    recs.append(struct.pack('<IH', 3, 0))  # EOF
    body = b''.join(recs)
    max_record = max(len(r) // 2 for r in recs)
    header = struct.pack('<HHHIHIH', 1, 9, 0x0300, (18 + len(body)) // 2, 3, max_record, 0)
    return header + body


def placeable(width, height, inch):
    words = struct.pack('<IHhhhhHI', 0x9AC6CDD7, 0, 0, 0, width, height, inch, 0)
    checksum = 0
    for (w,) in struct.iter_unpack('<H', words):
        checksum ^= w
    return words + struct.pack('<H', checksum)


def emf(width, height):
    recs = []
    # CREATEBRUSHINDIRECT ih, style, colour, hatch; SELECTOBJECT; RECTANGLE
    recs.append(struct.pack('<IIII', 37, 12, 0x80000008, 0)[:12])  # SELECTOBJECT NULL_PEN
    for index, colour, left, right in ((1, 0x0000FF, 0, width // 2), (2, 0xFF0000, width // 2, width)):
        recs.append(struct.pack('<IIIIII', 39, 24, index, 0, colour, 0))
        recs.append(struct.pack('<III', 37, 12, index))
        recs.append(struct.pack('<IIiiii', 43, 24, left, 0, right, height))
    recs.append(struct.pack('<IIIII', 14, 20, 0, 16, 20))  # EOF
    body = b''.join(recs)
    header_size = 108
    total = header_size + len(body)
    mm_w, mm_h = 320, 240  # reference device: 1024 x 768 pixels on 320 x 240 mm
    frame_w = width * mm_w * 100 // 1024
    frame_h = height * mm_h * 100 // 768
    header = struct.pack('<II4i4iIIIIHHIIIiiii', 1, header_size, 0, 0, width - 1, height - 1, 0, 0, frame_w - 1,
                         frame_h - 1, 0x464D4520, 0x10000, total, len(recs) + 1, 3, 0, 0, 0, 0, 1024, 768, mm_w,
                         mm_h)
    header += struct.pack('<IIIii', 0, 0, 0, mm_w * 1000, mm_h * 1000)
    assert len(header) == header_size
    return header + body


if __name__ == '__main__':
    records = wmf_records(200, 100)
    with open('pic.wmf', 'wb') as f:
        f.write(placeable(200, 100, 96) + records)
    with open('pic-bare.wmf', 'wb') as f:
        f.write(records)
    with open('pic.emf', 'wb') as f:
        f.write(emf(200, 100))
