#!/usr/bin/env python3
"""Checks that every source file includes only headers of its own layer or of
lower layers, and that only the Qt front ends include Qt.

The layers, lowest first (docs: DESIGN.md):
  1 platform   2 image   3 files   4 processing colour camera scope
  5 sim        6 app     7 ui cli print indi (front ends; none includes another)

Usage: check-layers.py [SOURCE_ROOT]   (default: src/ beside this script)
Prints one line per fault, "file:line: includes higher layer: header", and
exits 1 when there is any.
"""
import pathlib
import re
import sys

LAYERS = {
    "platform": 1,
    "image": 2,
    "files": 3,
    "processing": 4,
    "colour": 4,
    "camera": 4,
    "scope": 4,
    "sim": 5,
    "app": 6,
    "ui": 7,
    "cli": 7,
    "print": 7,
    "indi": 7,
}
FRONT_ENDS = {"ui", "cli", "print", "indi"}
QT_ALLOWED = {"ui", "print"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def check(root: pathlib.Path) -> list[str]:
    faults = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".hpp", ".cpp", ".cc") or not path.is_file():
            continue
        rel = path.relative_to(root)
        folder = rel.parts[0]
        if folder not in LAYERS:
            faults.append(f"{root / rel}: is in no layer (folder '{folder}')")
            continue
        layer = LAYERS[folder]
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            kind, header = m.groups()
            where = f"{root / rel}:{number}"
            if kind == "<":
                if header.startswith("Q") and folder not in QT_ALLOWED:
                    faults.append(f"{where}: includes Qt outside the Qt front ends: <{header}>")
                continue
            target = header.split("/")[0]
            if target not in LAYERS:
                continue  # a header beside the file, or a third-party one
            if LAYERS[target] > layer:
                faults.append(f"{where}: includes higher layer: \"{header}\"")
            elif folder in FRONT_ENDS and target in FRONT_ENDS and target != folder:
                faults.append(f"{where}: includes another front end: \"{header}\"")
    return faults


def main() -> int:
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent / "src"
    faults = check(root)
    for fault in faults:
        print(fault)
    if faults:
        print(f"layer check: {len(faults)} include(s) break the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
