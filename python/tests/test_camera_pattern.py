"""Cameras and patterns: files written by the program read back with their
values, the built-in ones, and the conversions to and from NumPy."""

import numpy as np
import pytest

import markeye
from conftest import run_cli


def test_camera_file_made_by_the_program_reads_back(cli, tmp_path):
    path = tmp_path / "cam.dat"
    run_cli(cli, "camera", "make", "--size", "800x600", "--fx", "900", "--fy", "910", "--center", "401,299",
            "--distortion", "400,300,3,0.99", "-o", path)
    camera = markeye.Camera.from_file(path)
    assert camera.size == (800, 600)
    np.testing.assert_array_equal(camera.K, [[900, 0, 401], [0, 910, 299], [0, 0, 1]])
    assert camera.distortion == markeye.Distortion(400, 300, 3, 0.99)
    assert camera.name == str(path)
    assert camera.to_bytes() == path.read_bytes()
    assert markeye.Camera.from_bytes(bytearray(path.read_bytes())).K.tolist() == camera.K.tolist()
    # Observed points are drawn towards the centre by a positive coefficient.
    x, y = camera.ideal_to_observed(700.0, 300.0)
    assert 400.0 < x < 700.0 and y == pytest.approx(300.0, abs=1e-9)


def test_builtin_camera_and_rescaling():
    camera = markeye.Camera.builtin(640, 480)
    np.testing.assert_array_equal(camera.projection, [[700, 0, 320, 0], [0, 700, 240, 0], [0, 0, 1, 0]])
    assert camera.distortion.coefficient == 0.0
    assert camera.ideal_to_observed(12.5, 400.25) == (12.5, 400.25)
    doubled = camera.rescaled(1280, 960)
    assert (doubled.fx, doubled.cx, doubled.cy) == (1400.0, 640.0, 480.0)
    assert camera.fits(320, 240) and not camera.fits(640, 360)
    assert markeye.Camera.from_intrinsics(320, 200, 300, 310).K.tolist() == [[300, 0, 160], [0, 310, 100], [0, 0, 1]]


@pytest.mark.parametrize("name", markeye.Pattern.builtin_names())
def test_builtin_pattern_is_its_file_and_its_picture(cli, tmp_path, name):
    path = tmp_path / f"{name}.patt"
    run_cli(cli, "pattern", "make", "--builtin", name, "-o", path)
    builtin = markeye.Pattern.builtin(name)
    from_file = markeye.Pattern.from_file(path)
    assert from_file.name == name and builtin.numbers.shape == (4, 3, 16, 16)
    np.testing.assert_array_equal(from_file.numbers, builtin.numbers)
    from_picture = markeye.Pattern.from_image(markeye.Pattern.builtin_picture(name))
    np.testing.assert_array_equal(from_picture.numbers, builtin.numbers)
    # Block 0 is the upright picture; its planes are blue, green, red.
    upright = builtin.picture(0)
    np.testing.assert_array_equal(np.moveaxis(builtin.numbers[0], 0, -1), upright)
    np.testing.assert_array_equal(builtin.picture(0, order="rgb"), upright[..., ::-1])
    # Direction d is the picture turned d quarter turns counter-clockwise.
    np.testing.assert_array_equal(builtin.picture(1), np.rot90(upright))


def test_pattern_saved_reads_back_at_another_grid(tmp_path):
    pattern = markeye.Pattern.builtin("key", grid=(8, 4))
    pattern.save(tmp_path / "key8x4.patt")
    again = markeye.Pattern.from_file(tmp_path / "key8x4.patt", grid=(8, 4))
    assert (again.grid_width, again.grid_height) == (8, 4)
    np.testing.assert_array_equal(again.numbers, pattern.numbers)
    numbers = markeye.Pattern.from_numbers(pattern.numbers.ravel().tolist(), 8, 4, "key")
    np.testing.assert_array_equal(numbers.numbers, pattern.numbers)
