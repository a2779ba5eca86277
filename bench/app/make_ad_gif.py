#!/usr/bin/env python3
"""A 400x300 animated GIF of 50 frames for the ad decoding benchmark, made
with the lab's encoder: a full first frame, then a 100x75 patch that walks
across it (what animated ads mostly do), 10 hundredths apart.

    make_ad_gif.py OUT.gif"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "lab"))

from dialdeck_lab.ads import PALETTE, encode_gif  # noqa: E402

WIDTH, HEIGHT, FRAMES = 400, 300, 50
PATCH_W, PATCH_H = 100, 75


def frames():
    background = [(x // 20 + y // 20) % 4 for y in range(HEIGHT) for x in range(WIDTH)]
    out = [(0, 0, WIDTH, HEIGHT, background, 10, 1)]
    for n in range(1, FRAMES):
        left = (n * 37) % (WIDTH - PATCH_W)
        top = (n * 23) % (HEIGHT - PATCH_H)
        colour = 4 + n % 4
        patch = [colour if (x + y + n) % 9 else 1 for y in range(PATCH_H) for x in range(PATCH_W)]
        out.append((left, top, PATCH_W, PATCH_H, patch, 10, 1))
    return out


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__.split("\n\n")[1].strip())
    with open(sys.argv[1], "wb") as handle:
        handle.write(encode_gif(WIDTH, HEIGHT, PALETTE, frames()))


if __name__ == "__main__":
    main()
