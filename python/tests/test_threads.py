"""Trackers on two threads at once give what they give one after the other;
one tracker shared by two threads is used by one at a time."""

import threading

import pytest

import markeye
from conftest import cv2, detection_values

ROUNDS = 5


@pytest.fixture(scope="module")
def frames(demo_frames):
    return [cv2.imread(path) for path in demo_frames]


def track_all(tracker, frames):
    return [detection_values(tracker.track(frame)) for _ in range(ROUNDS) for frame in frames]


def run_on_threads(work_items):
    """Runs each callable on its own thread, all started together; their results in order."""
    results = [None] * len(work_items)
    errors = []
    start = threading.Barrier(len(work_items))

    def run(index):
        try:
            start.wait()
            results[index] = work_items[index]()
        except Exception as error:  # reported by the test's thread
            errors.append(error)

    threads = [threading.Thread(target=run, args=(i,)) for i in range(len(work_items))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert not errors
    return results


@pytest.mark.parametrize("options", [{}, markeye.plugin_options()], ids=["default", "plug-in"])
def test_two_trackers_on_two_threads_agree_with_sequential_runs(frames, options):
    sequential = [track_all(markeye.Tracker(**options), frames), track_all(markeye.Tracker(**options), frames[::-1])]
    threaded = run_on_threads(
        [lambda: track_all(markeye.Tracker(**options), frames), lambda: track_all(markeye.Tracker(**options), frames[::-1])]
    )
    assert threaded == sequential
    assert any(sequential[0])


def test_one_tracker_shared_by_two_threads_gives_every_frame_its_results(frames):
    expected = track_all(markeye.Tracker(), frames)
    shared = markeye.Tracker()
    assert run_on_threads([lambda: track_all(shared, frames)] * 2) == [expected, expected]
