#!/usr/bin/env python3
"""How far the stars moved along x between two images the driver sent: the
median shift of the brightest stars of the first, each matched to the
nearest star of the second.

Usage: star_shift.py BEFORE AFTER   prints the shift in pixels"""
import sys

import numpy as np
from astropy.io import fits


def stars(path, count=8):
    image = fits.getdata(path).astype(float)
    image -= np.median(image)
    # A 3 x 3 median: hot pixels are single samples, stars are not.
    h, w = image.shape
    padded = np.pad(image, 1)
    smooth = np.median([padded[dy:dy + h, dx:dx + w] for dy in range(3) for dx in range(3)], axis=0)
    found = []
    for _ in range(count):
        y, x = np.unravel_index(np.argmax(smooth), smooth.shape)
        y0, x0 = max(0, y - 6), max(0, x - 6)
        light = np.clip(image[y0:y + 7, x0:x + 7], 0, None)
        ys, xs = np.mgrid[y0:y0 + light.shape[0], x0:x0 + light.shape[1]]
        found.append(((light * xs).sum() / light.sum(), (light * ys).sum() / light.sum()))
        smooth[max(0, y - 12):y + 13, max(0, x - 12):x + 13] = -np.inf
    return found


before, after = stars(sys.argv[1]), stars(sys.argv[2])
shifts = []
for bx, by in before:
    ax, ay = min(after, key=lambda s: (s[0] - bx) ** 2 + (s[1] - by) ** 2)
    if (ax - bx) ** 2 + (ay - by) ** 2 < 20 ** 2:
        shifts.append(ax - bx)
print("%.2f" % (np.median(shifts) if shifts else float("nan")))
