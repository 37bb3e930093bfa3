"""Fixtures shared by the tests: the markeye program (MARKEYE_CLI, or markeye
on PATH), frames rendered by its scene renderer (`markeye demo`) and its
JSON for them (`markeye track`), against which the package is checked."""

import json
import os
import shutil
import subprocess
from pathlib import Path

import numpy as np
import pytest

cv2 = pytest.importorskip("cv2", reason="the tests read and write pictures with OpenCV (python3-opencv)")

# Frames of `markeye demo`: five built-in markers 520 to 700 mm away.
DEMO_FRAMES = 6
# The binding hands over the library's doubles unchanged: it agrees with the
# command-line program's JSON (written to the last digit) this closely.
CLI_TOLERANCE = 1e-9


@pytest.fixture(scope="session")
def cli():
    path = os.environ.get("MARKEYE_CLI") or shutil.which("markeye")
    if not path:
        pytest.skip("needs the markeye program: set MARKEYE_CLI to build/src/cli/markeye")
    return path


def run_cli(cli, *arguments):
    """Standard output of the markeye program; fails the test on a non-zero status."""
    result = subprocess.run([cli, *map(str, arguments)], capture_output=True, text=True)
    assert result.returncode == 0, f"markeye {' '.join(map(str, arguments))}: {result.stderr}"
    return result.stdout


def cli_track(cli, frames, *options):
    """The program's JSON object of each frame, by frame path."""
    lines = run_cli(cli, "track", *options, *frames).splitlines()
    return {record["frame"]: record for record in map(json.loads, lines)}


@pytest.fixture(scope="session")
def demo_frames(cli, tmp_path_factory):
    """Paths of frames rendered by the project's scene renderer."""
    folder = tmp_path_factory.mktemp("demo")
    run_cli(cli, "demo", "--frames", DEMO_FRAMES, "--out", folder)
    return [str(path) for path in sorted(folder.glob("frame_*.png"))]


@pytest.fixture(scope="session")
def demo_json(cli, demo_frames):
    return cli_track(cli, demo_frames)


@pytest.fixture(scope="session")
def first_frame(demo_frames, demo_json):
    """The first demo frame as OpenCV reads it (BGR) and the program's JSON for it."""
    return cv2.imread(demo_frames[0], cv2.IMREAD_COLOR), demo_json[demo_frames[0]]


def found_markers(record):
    return [marker for marker in record["markers"] if marker["found"]]


def assert_agrees(detections, record, tolerance=CLI_TOLERANCE):
    """Python's detections are the program's found markers: the same patterns,
    directions, confidences, corners (px) and poses (mm and rotation terms)."""
    expected = found_markers(record)
    assert [(d.pattern, d.direction) for d in detections] == [(m["pattern"], m["direction"]) for m in expected]
    for found, marker in zip(detections, expected):
        assert found.confidence == pytest.approx(marker["confidence"], abs=tolerance)
        np.testing.assert_allclose(found.corners, marker["corners"], rtol=0, atol=tolerance)
        np.testing.assert_allclose(found.pose, marker["pose"], rtol=0, atol=tolerance)


def detection_values(detections):
    """Everything a list of detections says, for exact comparisons."""
    return [(d.pattern, d.direction, d.confidence, d.corners.tobytes(), d.pose.tobytes()) for d in detections]
