"""Bad inputs raise markeye.Error (a ValueError) saying exactly what was
expected, or the library's own message."""

import numpy as np
import pytest

import markeye

SHAPES = "(height, width), (height, width, 1), (height, width, 3) or (height, width, 4)"
FRAME = np.full((480, 640, 3), 255, np.uint8)

BAD_IMAGES = {
    "float": (FRAME.astype(np.float32), "image: expected dtype uint8, not float32"),
    "uint16": (FRAME.astype(np.uint16), "image: expected dtype uint8, not uint16"),
    "two channels": (FRAME[..., :2], f"image: expected shape {SHAPES}, not (480, 640, 2)"),
    "five channels": (np.zeros((480, 640, 5), np.uint8), f"image: expected shape {SHAPES}, not (480, 640, 5)"),
    "one dimension": (np.zeros(640, np.uint8), f"image: expected shape {SHAPES}, not (640,)"),
    "four dimensions": (FRAME[np.newaxis], f"image: expected shape {SHAPES}, not (1, 480, 640, 3)"),
    "empty": (FRAME[:0], "image: expected at least one pixel, not shape (0, 640, 3)"),
    "no columns": (FRAME[:, :0, 0], "image: expected at least one pixel, not shape (480, 0)"),
    "list": ([[0, 0], [0, 0]], "image: expected a numpy.ndarray of dtype uint8, not list"),
    "bytes": (bytes(16), "image: expected a numpy.ndarray of dtype uint8, not bytes"),
}


@pytest.fixture(scope="module")
def tracker():
    return markeye.Tracker()


@pytest.mark.parametrize("case", BAD_IMAGES, ids=list(BAD_IMAGES))
def test_bad_image_says_what_was_expected(tracker, case):
    image, message = BAD_IMAGES[case]
    with pytest.raises(markeye.Error) as raised:
        tracker.track(image)
    assert str(raised.value) == message
    assert isinstance(raised.value, ValueError)


def test_not_in_place_layout_names_the_strides_expected(tracker):
    with pytest.raises(markeye.Error) as raised:
        tracker.track(FRAME[:, ::2], allow_copy=False)
    assert str(raised.value) == (
        "image: cannot be read in place: expected each pixel's 3 channels 1 byte apart and pixels 3 bytes apart "
        "(rows any distance apart but not overlapping), not strides (1920, 6, 1); "
        "pass numpy.ascontiguousarray(image), or allow_copy=True"
    )


def test_wrong_order_is_refused(tracker):
    with pytest.raises(markeye.Error, match='^order must be "bgr" or "rgb", not "bgra"$'):
        tracker.track(FRAME, order="bgra")


@pytest.fixture
def short_camera_file(tmp_path):
    path = tmp_path / "short.dat"
    path.write_bytes(markeye.Camera.builtin(640, 480).to_bytes()[:120])
    return path


def test_camera_file_too_short_gives_the_librarys_message(short_camera_file):
    message = f"^camera file too short: 120 of 136 bytes \\({short_camera_file}\\)$"
    with pytest.raises(markeye.Error, match=message):
        markeye.Tracker(camera=short_camera_file)
    with pytest.raises(markeye.Error, match=message):
        markeye.Camera.from_file(short_camera_file)


# Constructor arguments and the start of the message they give.
BAD_TRACKERS = {
    "missing camera file": ({"camera": "/nonexistent/cam.dat"}, "camera file"),
    "camera of another type": ({"camera": 640}, "camera: expected None, a file path, bytes or a markeye.Camera, not int"),
    "camera bytes too short": ({"camera": b"\0" * 10}, "camera file too short: 10 of 136 bytes (camera bytes)"),
    "no pattern": ({"patterns": []}, "a tracker needs at least one pattern"),
    "one path, not a list": ({"patterns": "flag.patt"}, "patterns: expected None or a list of file paths"),
    "missing pattern file": ({"patterns": ["/nonexistent/flag.patt"]}, "/nonexistent/flag.patt"),
    "confidence above 1": ({"min_confidence": 1.5}, "tracker option min_confidence must be from 0 to 1"),
    "marker width 0": ({"marker_width": 0.0}, "tracker option marker_width must be a positive number"),
    "unknown binarisation": ({"binarisation": "otsu"}, 'tracker option binarisation must be "tile" or "fixed", not "otsu"'),
    "unknown pose solver": ({"pose_solver": "ippe"}, 'tracker option pose_solver must be "planar" or "plugin"'),
}


@pytest.mark.parametrize("case", BAD_TRACKERS, ids=list(BAD_TRACKERS))
def test_bad_tracker_arguments_are_refused(case):
    arguments, message = BAD_TRACKERS[case]
    with pytest.raises(markeye.Error) as raised:
        markeye.Tracker(**arguments)
    assert message in str(raised.value)


def test_frame_of_other_proportions_than_the_camera_file_is_refused():
    tracker = markeye.Tracker(camera=markeye.Camera.builtin(640, 480))
    with pytest.raises(markeye.Error, match="^frame size 640 x 360 does not have the proportions of camera"):
        tracker.track(FRAME[:360])


def test_unknown_builtin_pattern_names_the_known_ones():
    with pytest.raises(markeye.Error, match="flag"):
        markeye.Pattern.builtin("square")


def read_only_frame():
    frame = FRAME.copy()
    frame.flags.writeable = False
    return frame


@pytest.mark.parametrize(
    "make, message",
    [
        (lambda: FRAME.copy()[:, ::2], "image: cannot be read in place"),
        (read_only_frame, "image: is read-only; draw on a writeable copy (image.copy())"),
    ],
    ids=["strided", "read-only"],
)
def test_draw_refuses_images_it_cannot_draw_on_in_place(make, message):
    with pytest.raises(markeye.Error) as raised:
        markeye.draw(make(), [])
    assert str(raised.value).startswith(message)
