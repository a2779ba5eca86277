"""The advertisement pictures the web services hand out under /ads/NAME: files
of --ads-dir, or by default two of the lab's own, made here with the standard
library: a still BMP and a three-frame animated GIF (delays 0, 50 and 200
hundredths; disposal 1, 2 and 3), so a client shows its short-delay rule, a
restored background and a restored previous frame."""

import os
import re
import struct

WIDTH, HEIGHT = 160, 60
# Palette of the animated picture, by index.
PALETTE = [(20, 40, 120), (255, 255, 255), (220, 30, 30), (30, 170, 60),
           (250, 210, 40), (240, 130, 20), (0, 0, 0), (128, 128, 128)]
BLUE, WHITE, RED, GREEN, YELLOW = 0, 1, 2, 3, 4
# (left, top, width, height, delay in hundredths, disposal method) per frame.
FRAMES = [(0, 0, WIDTH, HEIGHT, 0, 1), (10, 10, 40, 40, 50, 2), (100, 15, 40, 30, 200, 3)]
NAME = re.compile(r"^[A-Za-z0-9][A-Za-z0-9._-]{0,63}$")
MAX_FILE = 8 * 1024 * 1024


def lzw_encode(indices, min_size):
    """GIF's variable-width LZW: codes packed from the low bit, a clear code
    first and whenever the 12-bit table is full, the end code last."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    out = bytearray()
    state = {"bits": 0, "count": 0}

    def emit(code, width):
        state["bits"] |= code << state["count"]
        state["count"] += width
        while state["count"] >= 8:
            out.append(state["bits"] & 0xFF)
            state["bits"] >>= 8
            state["count"] -= 8

    def fresh():
        return {bytes([i]): i for i in range(clear)}, end + 1, min_size + 1

    table, next_code, width = fresh()
    emit(clear, width)
    prefix = b""
    for index in indices:
        grown = prefix + bytes([index])
        if grown in table:
            prefix = grown
            continue
        emit(table[prefix], width)
        if next_code == 4095:
            emit(clear, width)
            table, next_code, width = fresh()
        else:
            if next_code == 1 << width:
                width += 1
            table[grown] = next_code
            next_code += 1
        prefix = bytes([index])
    if prefix:
        emit(table[prefix], width)
        if next_code == 1 << width and width < 12:
            width += 1
    emit(end, width)
    if state["count"]:
        out.append(state["bits"] & 0xFF)
    return bytes(out)


def sub_blocks(data):
    blocks = bytearray()
    for start in range(0, len(data), 255):
        piece = data[start:start + 255]
        blocks += bytes([len(piece)]) + piece
    return bytes(blocks) + b"\x00"


def encode_gif(width, height, palette, frames, loop=True):
    """frames: (left, top, width, height, indices, delay, disposal); a palette
    of 2 to 256 colours, padded to a power of two."""
    bits = max(1, (len(palette) - 1).bit_length())
    colours = list(palette) + [(0, 0, 0)] * ((1 << bits) - len(palette))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0xF0 | (bits - 1), 0, 0)
    for red, green, blue in colours:
        out += bytes([red, green, blue])
    if loop and len(frames) > 1:
        out += b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
    min_size = max(2, bits)
    for left, top, w, h, indices, delay, disposal in frames:
        out += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, (disposal & 7) << 2, delay, 0, 0)
        out += struct.pack("<BHHHHB", 0x2C, left, top, w, h, 0)
        out += bytes([min_size]) + sub_blocks(lzw_encode(indices, min_size))
    out += b"\x3b"
    return bytes(out)


def _filled(width, height, paint):
    return [paint(x, y) for y in range(height) for x in range(width)]


def animated_gif():
    def first(x, y):
        if x < 3 or y < 3 or x >= WIDTH - 3 or y >= HEIGHT - 3:
            return WHITE
        if 60 <= x < 90 and 20 <= y < 40:
            return YELLOW
        return BLUE

    frames = []
    for left, top, w, h, delay, disposal in FRAMES:
        if left == 0 and top == 0:
            indices = _filled(w, h, first)
        else:
            colour = RED if disposal == 2 else GREEN
            indices = _filled(w, h, lambda x, y: WHITE if (x + y) % 10 == 0 else colour)
        frames.append((left, top, w, h, indices, delay, disposal))
    return encode_gif(WIDTH, HEIGHT, PALETTE, frames)


def still_bmp(width=WIDTH, height=HEIGHT):
    """24-bit bottom-up BMP: a left-to-right blue-to-orange blend."""
    row_size = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            t = x / max(1, width - 1)
            row += bytes([int(200 * (1 - t)), int(60 + 60 * t), int(40 + 200 * t)])  # B, G, R
        pixels += row + b"\x00" * (row_size - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def own_pictures():
    return {"still.bmp": still_bmp(), "animated.gif": animated_gif()}


class AdPictures:
    """Looks a name up; a folder is read at each request, so tests may change it."""

    def __init__(self, folder=None):
        self.folder = folder
        self.own = None if folder else own_pictures()

    def get(self, name):
        if not NAME.match(name):
            return None
        if self.own is not None:
            return self.own.get(name)
        path = os.path.join(self.folder, name)
        try:
            if not os.path.isfile(path) or os.path.getsize(path) > MAX_FILE:
                return None
            with open(path, "rb") as handle:
                return handle.read(MAX_FILE)
        except OSError:
            return None


def kind(name):
    extension = name.rsplit(".", 1)[-1].lower()
    return {"gif": "image/gif", "bmp": "image/bmp", "png": "image/png",
            "jpg": "image/jpeg", "jpeg": "image/jpeg"}.get(extension, "application/octet-stream")
