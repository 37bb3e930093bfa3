"""The examples in examples/python/ run as users run them: on a folder of
rendered frames, and on a video made of them."""

import csv
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

from conftest import cv2, found_markers

EXAMPLES = Path(__file__).resolve().parents[2] / "examples" / "python"


def run_example(name, *arguments):
    result = subprocess.run([sys.executable, str(EXAMPLES / name), *map(str, arguments)],
                            capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    return result.stdout


def test_folder_to_csv_writes_the_programs_markers(demo_frames, demo_json, tmp_path):
    # The frames alone, with a file that is no picture.
    folder = tmp_path / "frames"
    folder.mkdir()
    for path in demo_frames:
        shutil.copy(path, folder)
    (folder / "notes.txt").write_text("not a picture")
    output = tmp_path / "found.csv"
    run_example("track_folder_csv.py", folder, "-o", output)
    with open(output, newline="") as file:
        rows = list(csv.DictReader(file))
    expected = [(Path(path).name, marker) for path in demo_frames for marker in found_markers(demo_json[path])]
    assert len(rows) == len(expected) > 0
    for row, (name, marker) in zip(rows, expected):
        assert (row["file"], int(row["pattern"]), int(row["direction"])) == (name, marker["pattern"], marker["direction"])
        # repr() reads back the very doubles.
        corners = [[float(row[f"x{i}"]), float(row[f"y{i}"])] for i in range(4)]
        assert corners == marker["corners"]
        assert [float(row[t]) for t in ("tx", "ty", "tz")] == [line[3] for line in marker["pose"]]


@pytest.fixture(scope="module")
def rendered_video(demo_frames, tmp_path_factory):
    path = tmp_path_factory.mktemp("video") / "demo.avi"
    frames = [cv2.imread(frame) for frame in demo_frames]
    writer = cv2.VideoWriter(str(path), cv2.VideoWriter_fourcc(*"MJPG"), 10.0, (640, 480))
    for frame in frames:
        writer.write(frame)
    writer.release()
    return path, len(frames)


def test_video_script_tracks_every_frame_and_writes_the_overlay(rendered_video, tmp_path):
    path, count = rendered_video
    output = tmp_path / "overlay.avi"
    lines = run_example("track_video.py", path, "--no-window", "--output", output).splitlines()
    assert len(lines) == count
    # Five markers in every frame, through JPEG compression.
    assert all(line.startswith(f"frame {i}: 5 markers ") for i, line in enumerate(lines))
    video = cv2.VideoCapture(str(output))
    ok, first = video.read()
    assert ok and first.shape == (480, 640, 3)
    # The outline's yellow (BGR 0, 220, 255) survives compression roughly.
    yellowish = (first[..., 0] < 80) & (first[..., 1] > 170) & (first[..., 2] > 200)
    assert yellowish.sum() > 500


def test_video_script_says_when_the_source_cannot_be_opened(tmp_path):
    result = subprocess.run([sys.executable, str(EXAMPLES / "track_video.py"), str(tmp_path / "none.avi"), "--no-window"],
                            capture_output=True, text=True)
    assert result.returncode != 0
    assert "none.avi" in result.stderr
