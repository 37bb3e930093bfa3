"""10 000 calls leave the resident memory flat: the binding keeps nothing of
a frame, its detections or their arrays once they are dropped."""

import sys

import pytest

import markeye
from conftest import cv2

CALLS = 10_000
WARM_UP = 1_000
# A leak of one detection (measured: 370 bytes) per call would
# add 3.7 MB over the calls.
GROWTH_LIMIT_BYTES = 1 << 20


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * 4096


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc/self/statm")
def test_resident_memory_stays_flat_over_10000_calls(first_frame):
    # The top-left quarter of a demo frame: one marker, tracked quickly.
    frame = first_frame[0][:240, :320]
    tracker = markeye.Tracker()

    def calls(count):
        for _ in range(count):
            for found in tracker.track(frame):
                found.corners, found.pose, found.translation, found.as_dict()
        return tracker.track(frame)

    assert calls(WARM_UP)
    before = resident_bytes()
    calls(CALLS)
    assert resident_bytes() - before < GROWTH_LIMIT_BYTES
