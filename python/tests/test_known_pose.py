"""Poses against an independent construction: printable markers rendered by
`markeye marker`, pasted facing the camera at seeded random places into a
white frame, so that their corners, distance and rotation are known."""

import numpy as np
import pytest

import markeye
from conftest import cv2, run_cli

# 80 mm at 63.5 dpi: the marker's square is 200 pixels, its margin 25.
SIDE_PX = 200
MARGIN_PX = 25
SEED = 15
CAMERA = markeye.Camera.builtin(640, 480)
# The edges of a crisp, axis-aligned square are located exactly (measured:
# 3e-14 px); these leave room for refinements that move them a little.
CORNER_TOLERANCE_PX = 0.01
# At 280 mm, 0.01 px on a 200 px side is 0.014 mm of distance.
DISTANCE_TOLERANCE_MM = 0.05
ROTATION_TOLERANCE_DEG = 0.05


@pytest.fixture(scope="module")
def squares(cli, tmp_path_factory):
    """Each built-in marker's black square, upright, as a grey array."""
    folder = tmp_path_factory.mktemp("markers")
    pictures = {}
    for name in markeye.Pattern.builtin_names():
        path = folder / f"{name}.png"
        run_cli(cli, "marker", "--builtin", name, "--dpi", "63.5", "-o", path)
        picture = cv2.imread(str(path), cv2.IMREAD_GRAYSCALE)
        pictures[name] = picture[MARGIN_PX : MARGIN_PX + SIDE_PX, MARGIN_PX : MARGIN_PX + SIDE_PX]
        assert (pictures[name][:, :10] == 0).all(), "the border is where it should be"
    return pictures


def scene(square, turns, left, top):
    """A white frame with the square turned `turns` quarter turns
    counter-clockwise, its top-left pixel at (left, top); the expected
    vertices 0 to 3 in pixels."""
    frame = np.full((480, 640, 3), 255, np.uint8)
    frame[top : top + SIDE_PX, left : left + SIDE_PX] = np.rot90(square, turns)[..., np.newaxis]
    # Pixel (x, y) is centred on (x, y): the square's edges lie half a pixel outside.
    low_x, low_y, high_x, high_y = left - 0.5, top - 0.5, left + SIDE_PX - 0.5, top + SIDE_PX - 0.5
    box = [(low_x, low_y), (high_x, low_y), (high_x, high_y), (low_x, high_y)]  # clockwise from top-left
    return frame, np.array([box[(i - turns) % 4] for i in range(4)])


CASES = [
    (name, turns, left, top)
    for rng in [np.random.default_rng(SEED)]
    for name in markeye.Pattern.builtin_names()
    for turns, left, top in [(int(rng.integers(4)), int(rng.integers(0, 440)), int(rng.integers(0, 280)))]
]


@pytest.mark.parametrize("name, turns, left, top", CASES, ids=[f"{c[0]}-{c[1]}turns" for c in CASES])
def test_pasted_marker_is_found_at_its_known_pose(squares, name, turns, left, top):
    frame, corners = scene(squares[name], turns, left, top)
    detections = markeye.Tracker(camera=CAMERA).track(frame)
    assert [d.name for d in detections] == [name]
    found = detections[0]
    np.testing.assert_allclose(found.corners, corners, rtol=0, atol=CORNER_TOLERANCE_PX)

    # The centre through the pinhole at the distance the side gives.
    distance = CAMERA.fx * 80.0 / SIDE_PX
    centre = corners.mean(axis=0)
    expected_t = [(centre[0] - CAMERA.cx) * distance / CAMERA.fx, (centre[1] - CAMERA.cy) * distance / CAMERA.fy, distance]
    np.testing.assert_allclose(found.translation, expected_t, rtol=0, atol=DISTANCE_TOLERANCE_MM)
    assert found.translation[2] == pytest.approx(distance, abs=DISTANCE_TOLERANCE_MM)

    # Marker x runs from vertex 0 to 1, y from vertex 3 to 0, z towards the viewer.
    x_axis = np.append(corners[1] - corners[0], 0.0) / SIDE_PX
    y_axis = np.append(corners[0] - corners[3], 0.0) / SIDE_PX
    expected_r = np.column_stack([x_axis, y_axis, np.cross(x_axis, y_axis)])
    cosine = (np.trace(expected_r.T @ found.rotation) - 1.0) / 2.0
    assert np.degrees(np.arccos(min(1.0, cosine))) < ROTATION_TOLERANCE_DEG
