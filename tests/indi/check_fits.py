#!/usr/bin/env python3
"""Reads one image the driver sent and checks it against what its capture
format promises.

Usage: check_fits.py FILE FORMAT   (FORMAT: mono, rgb, raw or binned)
Exits 0 when the image is right, 1 with the reason otherwise."""
import sys

from astropy.io import fits


def fail(why):
    print(f"{sys.argv[1]}: {why}")
    sys.exit(1)


path, form = sys.argv[1], sys.argv[2]
with fits.open(path) as f:
    header = f[0].header
    data = f[0].data

shape = {"mono": (580, 752), "raw": (580, 752), "rgb": (3, 580, 752), "binned": (290, 752)}[form]
if data is None or data.shape != shape:
    fail(f"shape {None if data is None else data.shape}, expected {shape}")
if header["BITPIX"] != 16 or header.get("BZERO") != 32768:
    fail("not 16-bit unsigned samples")
# A standard export's header, written by the driver.
for key, wanted in (("EXPTIME", 1.0), ("PIXSIZE1", 8.6), ("PIXSIZE2", 8.3)):
    if abs(float(header.get(key, -1)) - wanted) > 1e-3:
        fail(f"{key} = {header.get(key)}, expected {wanted}")
if header.get("INSTRUME") != "Tarvex CCD" or not header.get("DATE-OBS"):
    fail("INSTRUME or DATE-OBS missing")
if header.get("IMAGETYP") != "Light Frame":
    fail(f"IMAGETYP = {header.get('IMAGETYP')}")
if header.get("YBINNING") != (2 if form == "binned" else 1) or header.get("XBINNING") != 1:
    fail(f"binning {header.get('XBINNING')} x {header.get('YBINNING')}")

# The simulated sky has stars well above its background.
if int(data.max()) - int(data.min()) < 1000:
    fail(f"no stars: samples {data.min()}..{data.max()}")

if form == "raw":
    pattern = header.get("BAYERPAT", "")
    if len(pattern) != 8 or set(pattern) != set("CMYG"):
        fail(f"BAYERPAT = {pattern!r}, expected the 8 letters of a cyan/magenta/yellow/green mosaic")
    # With the program's default offsets: no Pixel Offset, Line Offset on.
    if header.get("XBAYROFF") != 0 or header.get("YBAYROFF") != 2:
        fail(f"mosaic offsets {header.get('XBAYROFF')}, {header.get('YBAYROFF')}")
elif "BAYERPAT" in header:
    fail(f"{form} image carries BAYERPAT")

if form == "rgb":
    red, green, blue = (data[i].astype(float) for i in range(3))
    if (red == green).all() or (green == blue).all():
        fail("the colour planes are copies of one another")
print(f"{form}: {data.shape}, samples {data.min()}..{data.max()}: ok")
