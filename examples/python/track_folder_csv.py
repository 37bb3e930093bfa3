#!/usr/bin/env python3
"""Tracks every picture of a folder and writes one CSV row per marker found.

    track_folder_csv.py FOLDER [-o found.csv] [--camera cam.dat] [--pattern a.patt ...]

Columns: file, pattern, name, confidence, direction, the corners x0 y0 .. x3
y3 (pixels), the translation tx ty tz (marker-width units: millimetres for
an 80 mm marker), the rotation r00 .. r22 row by row and the reprojection
error (pixels). Numbers are written as Python's repr: read back exactly.
Pictures are read with OpenCV (PNG, JPEG, PPM, ...); other files are skipped.
"""

import argparse
import csv
import sys
from pathlib import Path

import cv2

import markeye

PICTURE_SUFFIXES = {".png", ".jpg", ".jpeg", ".ppm", ".pgm", ".bmp", ".tif", ".tiff"}
COLUMNS = (
    ["file", "pattern", "name", "confidence", "direction"]
    + [f"{axis}{i}" for i in range(4) for axis in "xy"]
    + ["tx", "ty", "tz"]
    + [f"r{row}{column}" for row in range(3) for column in range(3)]
    + ["reprojection_error"]
)


def rows(tracker, folder):
    for path in sorted(p for p in Path(folder).iterdir() if p.suffix.lower() in PICTURE_SUFFIXES):
        frame = cv2.imread(str(path), cv2.IMREAD_COLOR)
        if frame is None:
            print(f"track_folder_csv.py: cannot read {path}", file=sys.stderr)
            continue
        for found in tracker.track(frame):
            yield (
                [path.name, found.pattern, found.name, repr(found.confidence), found.direction]
                + [repr(v) for v in found.corners.ravel().tolist()]
                + [repr(v) for v in found.translation.tolist()]
                + [repr(v) for v in found.rotation.ravel().tolist()]
                + [repr(found.reprojection_error)]
            )


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("-o", "--output", help="CSV file (default: standard output)")
    parser.add_argument("--camera", help="camera parameter file (default: the built-in camera for each size)")
    parser.add_argument("--pattern", action="append", help="a pattern file; repeat for more (default: built-in markers)")
    args = parser.parse_args()
    tracker = markeye.Tracker(camera=args.camera, patterns=args.pattern)
    out = open(args.output, "w", newline="") if args.output else sys.stdout
    with out:
        writer = csv.writer(out)
        writer.writerow(COLUMNS)
        writer.writerows(rows(tracker, args.folder))


if __name__ == "__main__":
    main()
