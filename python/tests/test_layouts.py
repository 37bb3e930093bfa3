"""Every array layout a frame may come in gives the program's results on the
same pixels: BGR, RGB, BGRA, RGBA, rows padded or flipped (read in place),
strided views and column-major arrays (copied), grey, and a crop."""

import numpy as np
import pytest

import markeye
from conftest import assert_agrees, cli_track, cv2


def padded(frame):
    """The frame as a slice of a wider, taller array: rows 2 pixels apart more than packed."""
    canvas = np.zeros((frame.shape[0] + 7, frame.shape[1] + 13) + frame.shape[2:], np.uint8)
    canvas[3 : 3 + frame.shape[0], 5 : 5 + frame.shape[1]] = frame
    return canvas[3 : 3 + frame.shape[0], 5 : 5 + frame.shape[1]]


def flipped(frame):
    """Bottom-up rows: a view with a negative row stride."""
    return np.ascontiguousarray(frame[::-1])[::-1]


def every_other(frame):
    """Pixels 2 apart: a view of a frame drawn twice as large."""
    return np.repeat(np.repeat(frame, 2, axis=0), 2, axis=1)[::2, ::2]


def read_only(frame):
    view = frame.copy()
    view.flags.writeable = False
    return view


# name: (array from the BGR frame, order, read in place)
LAYOUTS = {
    "bgr": (lambda f: f, "bgr", True),
    "rgb": (lambda f: np.ascontiguousarray(f[..., ::-1]), "rgb", True),
    "bgra": (lambda f: cv2.cvtColor(f, cv2.COLOR_BGR2BGRA), "bgr", True),
    "rgba": (lambda f: cv2.cvtColor(f, cv2.COLOR_BGR2RGBA), "rgb", True),
    "padded rows": (padded, "bgr", True),
    "padded bgra rows": (lambda f: padded(cv2.cvtColor(f, cv2.COLOR_BGR2BGRA)), "bgr", True),
    "flipped rows": (flipped, "bgr", True),
    "read-only": (read_only, "bgr", True),
    "rgb as reversed view": (lambda f: f[..., ::-1], "rgb", False),
    "strided view": (every_other, "bgr", False),
    "column-major": (np.asfortranarray, "bgr", False),
    "bgr out of bgra": (lambda f: cv2.cvtColor(f, cv2.COLOR_BGR2BGRA)[..., :3], "bgr", False),
}


@pytest.fixture(scope="module")
def tracker():
    return markeye.Tracker()


@pytest.mark.parametrize("layout", LAYOUTS, ids=list(LAYOUTS))
def test_layout_gives_the_programs_results(tracker, first_frame, layout):
    frame, record = first_frame
    make, order, in_place = LAYOUTS[layout]
    image = make(frame)
    assert_agrees(tracker.track(image, order=order), record)
    if in_place:
        assert_agrees(tracker.track(image, order=order, allow_copy=False), record)
    else:
        with pytest.raises(markeye.Error, match="cannot be read in place: expected each pixel's"):
            tracker.track(image, order=order, allow_copy=False)


@pytest.fixture(scope="module")
def grey_frame(cli, first_frame, tmp_path_factory):
    """The first frame in grey, written as a grey PNG, and the program's JSON for that file."""
    path = str(tmp_path_factory.mktemp("grey") / "grey.png")
    grey = cv2.cvtColor(first_frame[0], cv2.COLOR_BGR2GRAY)
    cv2.imwrite(path, grey)
    return grey, cli_track(cli, [path])[path]


@pytest.mark.parametrize(
    "make",
    [lambda g: g, lambda g: g[:, :, np.newaxis], padded, flipped],
    ids=["H x W", "H x W x 1", "padded rows", "flipped rows"],
)
def test_grey_layout_gives_the_programs_results_on_the_grey_file(tracker, grey_frame, make):
    grey, record = grey_frame
    detections = tracker.track(make(grey), allow_copy=False)
    assert detections
    assert_agrees(detections, record)


def test_crop_is_tracked_with_the_camera_rescaled_as_the_program_does(cli, first_frame, tmp_path):
    # The top-left quarter: the same proportions, so the built-in camera at half size.
    crop = first_frame[0][:240, :320]
    path = str(tmp_path / "crop.png")
    cv2.imwrite(path, crop)
    tracker = markeye.Tracker()
    detections = tracker.track(crop, allow_copy=False)
    assert detections
    assert_agrees(detections, cli_track(cli, [path])[path])
    assert tracker.camera.size == (320, 240)
    assert tracker.camera.fx == pytest.approx(350.0, abs=1e-12)


def test_frames_of_other_proportions_get_the_builtin_camera_of_their_size(first_frame):
    tracker = markeye.Tracker()
    assert tracker.camera is None
    tracker.track(first_frame[0][:, :480])
    assert tracker.camera.size == (480, 480)
    assert (tracker.camera.cx, tracker.camera.cy) == (240.0, 240.0)
