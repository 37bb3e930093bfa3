"""markeye.draw draws what the program's overlays draw: outside the labels
the pixels are the program's `track --overlay` picture exactly, in any
channel order; labels are white on black and stay inside the image."""

import numpy as np
import pytest

import markeye
from conftest import cv2, run_cli

# The overlay colours, blue-green-red: outline, vertex 0, axes x, y, z.
SHAPE_COLOURS_BGR = [(0, 220, 255), (255, 0, 255), (40, 40, 255), (40, 220, 40), (255, 120, 60)]


@pytest.fixture(scope="module")
def overlaid(cli, demo_frames, tmp_path_factory):
    """A demo frame, its detections and camera, and the program's overlay of it."""
    folder = tmp_path_factory.mktemp("overlay")
    run_cli(cli, "track", "--overlay", folder, demo_frames[1])
    [overlay] = folder.glob("*.png")
    frame = cv2.imread(demo_frames[1])
    tracker = markeye.Tracker()
    return frame, tracker.track(frame), tracker.camera, cv2.imread(str(overlay))


def is_label_colour(bgr):
    return (bgr == 0).all(axis=-1) | (bgr == 255).all(axis=-1)


@pytest.mark.parametrize(
    "to_layout, from_layout, order",
    [
        (lambda f: f.copy(), lambda d: d, "bgr"),
        (lambda f: np.ascontiguousarray(f[..., ::-1]), lambda d: d[..., ::-1], "rgb"),
        (lambda f: cv2.cvtColor(f, cv2.COLOR_BGR2BGRA), lambda d: d[..., :3], "bgr"),
        (lambda f: cv2.cvtColor(f, cv2.COLOR_BGR2RGBA), lambda d: d[..., 2::-1], "rgb"),
    ],
    ids=["bgr", "rgb", "bgra", "rgba"],
)
def test_shapes_are_the_programs_overlay_outside_its_labels(overlaid, to_layout, from_layout, order):
    frame, detections, camera, overlay = overlaid
    image = to_layout(frame)
    markeye.draw(image, detections, camera, order=order, labels=False)
    drawn = from_layout(image)
    differs = (drawn != overlay).any(axis=-1)
    assert not (differs & ~is_label_colour(overlay)).any()
    # Every shape colour was drawn.
    for colour in SHAPE_COLOURS_BGR:
        assert (drawn == colour).all(axis=-1).sum() > 20
    if image.shape[-1] == 4:
        assert (image[..., 3] == 255).all(), "alpha is left alone"


def test_labels_are_white_on_black_inside_the_image(overlaid):
    frame, detections, camera, _ = overlaid
    shapes = markeye.draw(frame.copy(), detections, camera, labels=False)
    labelled = markeye.draw(frame.copy(), detections, camera)
    changed = (labelled != shapes).any(axis=-1)
    # Roughly a 150 x 15 pixel label per marker.
    assert changed.sum() > 500 * len(detections)
    assert is_label_colour(labelled[changed]).all()


def test_grey_image_gets_the_colours_luma(overlaid):
    frame, detections, camera, _ = overlaid
    grey = cv2.cvtColor(frame, cv2.COLOR_BGR2GRAY)
    colour = markeye.draw(frame.copy(), detections, camera, labels=False)
    drawn = markeye.draw(grey.copy(), detections, camera, labels=False)
    outline = (colour == SHAPE_COLOURS_BGR[0]).all(axis=-1)
    # Rec. 601 luma of (255, 220, 0), rounded.
    assert (drawn[outline] == 205).all()


def test_camera_is_rescaled_to_the_image(overlaid):
    frame, detections, camera, _ = overlaid
    half = np.zeros((240, 320, 3), np.uint8)
    halved = [found for found in markeye.Tracker().track(cv2.resize(frame, (320, 240), interpolation=cv2.INTER_AREA))]
    markeye.draw(half, halved, camera, labels=False)
    assert (half == SHAPE_COLOURS_BGR[0]).all(axis=-1).any()
    with pytest.raises(markeye.Error, match="does not have the proportions of camera"):
        markeye.draw(np.zeros((240, 240, 3), np.uint8), halved, camera)
