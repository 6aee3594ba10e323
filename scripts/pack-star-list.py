#!/usr/bin/env python3
"""Packs query-starkd's text output (RA, Dec in degrees J2000, magnitude per
line) into the simulated camera's star list, read by src/sim/star_list.cpp.

Layout (little-endian):
  8 bytes   "TVXSTAR1"
  uint32    zone count Z (declination zones of 180/Z degrees, south first)
  uint32    star count N
  uint16    cell count of each zone (Z of them): equal cells of right ascension
  uint16    star count of each cell, zone by zone, cells from RA 0 eastwards
  uint32    the stars, cell by cell, brightest first in each cell:
              bits 0-11   RA within the cell, (ra - cell start) / cell width * 4096
              bits 12-23  Dec within the zone, likewise
              bits 24-31  magnitude * 16 + 32 (so -2.0 .. 13.9 in sixteenths)
A position comes back as the middle of its 1/4096 step: within 0.22" in
declination and, at most, in right ascension along the sky.

  pack-star-list.py STARS.txt OUT.bin
"""
import math
import os
import struct
import sys

ZONES = 360
STEPS = 4096


def main():
    src, out = sys.argv[1], sys.argv[2]
    zone_height = 180.0 / ZONES
    cells = []
    for z in range(ZONES):
        centre = -90.0 + (z + 0.5) * zone_height
        cells.append(max(1, round(720 * math.cos(math.radians(centre)))))
    seen = set()
    buckets = {}
    with open(src) as f:
        for line in f:
            parts = line.replace(",", " ").split()
            if len(parts) < 3 or not (parts[0][0].isdigit() or parts[0][0] == "-"):
                continue
            try:
                ra, dec, mag = float(parts[0]) % 360.0, float(parts[1]), float(parts[2])
            except ValueError:
                continue
            key = (round(ra * 1e4), round(dec * 1e4))
            if key in seen:
                continue
            seen.add(key)
            z = min(ZONES - 1, int((dec + 90.0) / zone_height))
            width = 360.0 / cells[z]
            c = min(cells[z] - 1, int(ra / width))
            fx = min(STEPS - 1, int((ra - c * width) / width * STEPS))
            fy = min(STEPS - 1, max(0, int((dec - (-90.0 + z * zone_height)) / zone_height * STEPS)))
            m = min(255, max(0, round(mag * 16 + 32)))
            buckets.setdefault((z, c), []).append((m, fx | (fy << 12) | (m << 24)))
    counts, words = [], []
    for z in range(ZONES):
        for c in range(cells[z]):
            stars = sorted(buckets.get((z, c), []))
            if len(stars) > 65535:
                sys.exit("pack-star-list: too many stars in one cell")
            counts.append(len(stars))
            words.extend(w for _, w in stars)
    tmp = out + ".tmp"
    with open(tmp, "wb") as f:
        f.write(b"TVXSTAR1")
        f.write(struct.pack("<II", ZONES, len(words)))
        f.write(struct.pack("<%dH" % ZONES, *cells))
        f.write(struct.pack("<%dH" % len(counts), *counts))
        f.write(struct.pack("<%dI" % len(words), *words))
    os.replace(tmp, out)
    print("%s: %d stars, %d bytes" % (out, len(words), os.path.getsize(out)))


if __name__ == "__main__":
    main()
