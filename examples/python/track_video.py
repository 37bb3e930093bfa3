#!/usr/bin/env python3
"""Tracks markers in a video file or a webcam with OpenCV and shows the overlay.

    track_video.py video.mp4                 # a file
    track_video.py 0                         # webcam 0
    track_video.py video.avi --no-window --output overlay.avi

Keys in the window: q or Esc stops. Prints per frame the markers found.
Needs the markeye package and OpenCV (Debian: python3-opencv).
"""

import argparse
import sys

import cv2

import markeye


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("source", help="a video file, or a webcam's number")
    parser.add_argument("--camera", help="camera parameter file (default: the built-in camera for the frame size)")
    parser.add_argument("--pattern", action="append", help="a pattern file; repeat for more (default: built-in markers)")
    parser.add_argument("--no-window", action="store_true", help="show nothing (for scripts and tests)")
    parser.add_argument("--output", help="also write the overlaid frames to this video file (MJPG)")
    args = parser.parse_args()

    video = cv2.VideoCapture(int(args.source) if args.source.isdigit() else args.source)
    if not video.isOpened():
        sys.exit(f"track_video.py: cannot open {args.source}")
    tracker = markeye.Tracker(camera=args.camera, patterns=args.pattern)
    writer = None
    index = 0
    while True:
        ok, frame = video.read()
        if not ok:
            break
        detections = tracker.track(frame)
        markeye.draw(frame, detections, tracker.camera)
        names = " ".join(f"{found.name}@{found.translation[2]:.0f}" for found in detections)
        print(f"frame {index}: {len(detections)} markers {names} ({tracker.elapsed_ms:.2f} ms)", flush=True)
        if args.output:
            if writer is None:
                fps = video.get(cv2.CAP_PROP_FPS) or 25.0
                size = (frame.shape[1], frame.shape[0])
                writer = cv2.VideoWriter(args.output, cv2.VideoWriter_fourcc(*"MJPG"), fps, size)
            writer.write(frame)
        if not args.no_window:
            cv2.imshow("markeye", frame)
            if cv2.waitKey(1) & 0xFF in (ord("q"), 27):
                break
        index += 1
    if writer is not None:
        writer.release()
    video.release()
    if not args.no_window:
        cv2.destroyAllWindows()
    if index == 0:
        sys.exit(f"track_video.py: no frame could be read from {args.source}")


if __name__ == "__main__":
    main()
