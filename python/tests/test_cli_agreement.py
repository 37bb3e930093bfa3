"""Frames rendered by the project's renderer, tracked from Python, agree with
the command-line program's JSON on the same files: built-in camera and
markers, a camera file with lens distortion, pattern files, the plug-in's
way."""

import pytest

import markeye
from conftest import assert_agrees, cli_track, cv2, run_cli

PATTERN_NAMES = ["hook", "flag", "moon"]


@pytest.fixture(scope="module")
def files(cli, tmp_path_factory):
    """A camera file with lens distortion and pattern files, made by the program."""
    folder = tmp_path_factory.mktemp("files")
    camera = folder / "distorted.dat"
    run_cli(cli, "camera", "make", "--size", "640x480", "--fx", "690", "--fy", "705", "--center", "318,244",
            "--distortion", "322,236,2.5,0.995", "-o", camera)
    patterns = []
    for name in PATTERN_NAMES:
        patterns.append(folder / f"{name}.patt")
        run_cli(cli, "pattern", "make", "--builtin", name, "-o", patterns[-1])
    return camera, patterns


# Each case: the program's options and the Tracker's arguments for the same thing.
CASES = {
    "built-in": (lambda files: [], lambda files: {}),
    "camera file": (lambda files: ["--camera", files[0]], lambda files: {"camera": str(files[0])}),
    "camera bytes": (lambda files: ["--camera", files[0]], lambda files: {"camera": files[0].read_bytes()}),
    "pattern files": (
        lambda files: [arg for path in files[1] for arg in ("--pattern", path)],
        lambda files: {"patterns": files[1]},
    ),
    "min confidence": (lambda files: ["--min-confidence", "0.9"], lambda files: {"min_confidence": 0.9}),
    # The program's --compat keeps its own least confidence (0.55 by default).
    "plug-in": (lambda files: ["--compat"], lambda files: {**markeye.plugin_options(), "min_confidence": 0.55}),
}


@pytest.mark.parametrize("case", CASES, ids=list(CASES))
def test_every_frame_agrees_with_the_program(cli, demo_frames, files, case):
    cli_options, tracker_arguments = CASES[case]
    expected = cli_track(cli, demo_frames, *cli_options(files))
    tracker = markeye.Tracker(**tracker_arguments(files))
    found_any = False
    for path in demo_frames:
        detections = tracker.track(cv2.imread(path))
        assert_agrees(detections, expected[path])
        found_any = found_any or bool(detections)
        # A pattern not found still has its best match, as the program says.
        best = tracker.best_confidences
        for marker in expected[path]["markers"]:
            if not marker["found"] and "confidence" in marker:
                assert best[marker["pattern"]] == pytest.approx(marker["confidence"], abs=1e-9)
    assert found_any


def test_detection_fields_are_consistent(first_frame):
    frame, record = first_frame
    tracker = markeye.Tracker()
    for found in tracker.track(frame):
        as_dict = found.as_dict()
        assert as_dict["name"] == found.name == markeye.Pattern.builtin_names()[found.pattern]
        assert as_dict["corners"] == [tuple(row) for row in found.corners.tolist()]
        assert as_dict["translation"] == tuple(found.translation.tolist())
        assert found.pose[:, :3].tolist() == found.rotation.tolist()
        # Rendered markers fit their pose to a small fraction of a pixel.
        assert 0 <= found.reprojection_error < 0.1
        assert 0 <= found.pose_ambiguity <= 1
    assert len(record["markers"]) == len(markeye.Pattern.builtin_names())
