#!/usr/bin/env python3
"""The binding's cost per frame: Tracker.track() timed from Python against
the C++ Tracker::track() call inside it (Tracker.elapsed_ms, timed in C++
around that call alone), on frames rendered by `markeye demo`.

    bench_track.py [--cli build/src/cli/markeye] [--frames 24] [--repeats 20]

Overhead = Python's time per call - C++'s: reading the array, releasing and
taking back the GIL, the tracker's lock, and making the Detection objects.
Reading their arrays (corners, pose) is timed apart: it happens only when
asked for. Medians over every call, in microseconds.
"""

import argparse
import shutil
import statistics
import subprocess
import tempfile
import time
from pathlib import Path

import cv2
import numpy as np

import markeye


# Frame layouts made from the BGR frames OpenCV reads.
LAYOUTS = {
    "BGR, packed (read in place)": lambda frame: frame,
    "BGRA, packed (read in place)": lambda frame: cv2.cvtColor(frame, cv2.COLOR_BGR2BGRA),
    "BGR view of BGRA (copied by the binding)": lambda frame: cv2.cvtColor(frame, cv2.COLOR_BGR2BGRA)[..., :3],
}


def measure(tracker, frames, repeats, read_arrays):
    python_us, cpp_us = [], []
    for _ in range(repeats):
        for frame in frames:
            start = time.perf_counter()
            detections = tracker.track(frame)
            if read_arrays:
                for found in detections:
                    found.corners, found.pose
            python_us.append((time.perf_counter() - start) * 1e6)
            cpp_us.append(tracker.elapsed_ms * 1e3)
    return statistics.median(python_us), statistics.median(cpp_us), statistics.median(
        np.subtract(python_us, cpp_us)
    )


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=shutil.which("markeye") or "build/src/cli/markeye")
    parser.add_argument("--frames", type=int, default=24)
    parser.add_argument("--repeats", type=int, default=20)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([args.cli, "demo", "--frames", str(args.frames), "--out", folder], check=True,
                       capture_output=True)
        frames = [cv2.imread(str(path)) for path in sorted(Path(folder).glob("frame_*.png"))]
    print(f"markeye {markeye.__version__}: {len(frames)} frames of 640 x 480, 8 built-in patterns, "
          f"{args.repeats} rounds; medians per call")
    print(f"{'frame layout':45} {'Python us':>10} {'C++ us':>10} {'overhead us':>12}")
    for name, layout in LAYOUTS.items():
        converted = [layout(frame) for frame in frames]
        tracker = markeye.Tracker()
        tracker.track(converted[0])
        for read_arrays in (False, True):
            python_us, cpp_us, overhead_us = measure(tracker, converted, args.repeats, read_arrays)
            label = name + (" + corners, pose" if read_arrays else "")
            print(f"{label:45} {python_us:10.1f} {cpp_us:10.1f} {overhead_us:12.1f}")


if __name__ == "__main__":
    main()
