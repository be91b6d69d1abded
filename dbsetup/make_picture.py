#!/usr/bin/env python3
"""Draws the setup dialog's picture (85 x 84): a database drum on a blue-to-teal sky with a
light arrow pointing into it, written as the stored form value of Image1's Picture.Data
(a TBitmap stream: class-name string, BMP size, 24-bit BMP file).

    dbsetup/make_picture.py > picture.txt    # paste into frmMainUnit.form beside it
"""
import struct

W, H = 85, 84


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def pixel(x, y):
    # Background: vertical gradient.
    c = lerp((32, 64, 140), (40, 150, 160), y / (H - 1))
    # Drum: three stacked discs, centre column at x=50, from y=30 to y=72.
    cx, rx, ry = 50, 24, 7
    top, bottom = 30, 72
    dx = (x - cx) / rx
    if abs(dx) <= 1:
        half = ry * (1 - dx * dx) ** 0.5
        # Body between the top ellipse's centre line and the bottom ellipse.
        if top <= y <= bottom + half:
            shade = 0.55 + 0.45 * (1 - abs(dx + 0.35))
            c = lerp((20, 40, 60), (235, 200, 90), max(0.0, min(1.0, shade)))
            # Rings between the discs.
            for ring in (top + 14, top + 28):
                if abs(y - (ring + half)) < 1.0:
                    c = (120, 80, 20)
        # Top face.
        if abs(y - top) <= half:
            c = lerp((250, 230, 150), (255, 250, 220), 1 - abs(y - top) / (half + 0.01))
            if abs(abs(y - top) - half) < 0.9:
                c = (150, 110, 30)
    # Arrow from the upper left towards the drum's top.
    u = ((x - 8) + (y - 8)) / 2 ** 0.5  # along the arrow
    v = ((x - 8) - (y - 8)) / 2 ** 0.5  # across it
    if (0 <= u <= 22 and abs(v) <= 1.6) or (22 <= u <= 34 and abs(v) <= (34 - u) * 0.6):
        c = (250, 250, 250)
    return c


def bmp():
    stride = (W * 3 + 3) & ~3
    rows = []
    for y in range(H - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(W):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - W * 3)
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


def main():
    b = bmp()
    stream = bytes([7]) + b"TBitmap" + struct.pack("<I", len(b)) + b
    text = stream.hex().upper()
    indent = "          "
    lines = [indent + text[i:i + 64] for i in range(0, len(text), 64)]
    print("        Picture.Data = {")
    print("\n".join(lines[:-1]))
    print(lines[-1] + "}")


if __name__ == "__main__":
    main()
