#!/usr/bin/env python3
"""The page in a real browser: headless Chromium (Debian's chromium and
chromedriver, driven by Selenium) opens web/dist/index.html from a local
static server with a fake camera that plays the fixture tool's clip
(clip.y4m, markers at known poses). The page must track the camera's frames
in its worker, find the clip's markers with the right patterns and poses,
and report its time per frame; a screenshot of the page with its overlays is
written for the record.

    browser_test.py [--dist DIR] [--fixtures DIR] [--screenshot FILE]

DIR default to $MARKEYE_WEB_DIST and $MARKEYE_WEB_FIXTURES."""

import argparse
import functools
import http.server
import json
import math
import os
import sys
import threading
import time
from pathlib import Path

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

# Frames the page must have tracked before they are checked (the clip runs
# at 30 fps; the page keeps its last 120 frames).
FRAMES_NEEDED = 90
WAIT_SECONDS = 90
# Against the rendered truth of the clip frame it shows. The camera path
# converts the clip's 4:2:0 frames back to RGB, which blurs colour edges but
# not the markers' black-on-white ones: the tracker stays within a fraction
# of a pixel (measured worst 0.3 px, 0.4 degrees, 0.4 % of the distance).
CORNER_PX = 1.0
ROTATION_DEGREES = 2.0
DISTANCE_FRACTION = 0.02
# Consecutive clip frames differ by several pixels (markers turn 6 degrees a
# frame), so the frame a result belongs to is told without doubt.
NEXT_FRAME_PX = 2.0
# Every checked frame shows all the clip's markers; allow a few frames lost
# to a camera frame caught mid-update.
FOUND_FRACTION = 0.95


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".mjs": "text/javascript", ".js": "text/javascript", ".wasm": "application/wasm"}

    def log_message(self, *args):
        pass


def serve(folder):
    """A static server of folder on a free port, in a thread; returns it."""
    handler = functools.partial(QuietHandler, directory=str(folder))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def browser(clip):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--window-size=900,720",
                 "--use-fake-device-for-media-stream", "--use-fake-ui-for-media-stream",
                 f"--use-file-for-fake-video-capture={clip}", "--autoplay-policy=no-user-gesture-required"):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def corner_distance(found, truth):
    return max(math.dist(a, b) for a, b in zip(found["corners"], truth["corners"]))


def rotation_degrees(a, b):
    trace = sum(a[i] * b[i] for i in range(9))
    return math.degrees(math.acos(max(-1.0, min(1.0, (trace - 1.0) / 2.0))))


def frame_cost(detections, truth_frame):
    """Worst corner distance in pixels between a result and a clip frame's
    truth, over the truth's markers; infinite when one is missing."""
    by_name = {d["name"]: d for d in detections}
    worst = 0.0
    for truth in truth_frame["markers"]:
        if truth["name"] not in by_name:
            return math.inf
        worst = max(worst, corner_distance(by_name[truth["name"]], truth))
    return worst


def check(stats, truth, source, worker, failures):
    recent = stats["recent"]
    names = sorted(m["name"] for m in truth["frames"][0]["markers"])
    if not stats["source"].startswith(source):
        failures.append(f"the page tracks {stats['source']!r}, not the {source}")
    if stats["worker"] != worker:
        failures.append(f"the page tracked {'not ' if worker else ''}in its worker")
    complete = [r for r in recent if sorted(d["name"] for d in r["detections"]) == names]
    if len(complete) < FOUND_FRACTION * len(recent):
        failures.append(f"only {len(complete)} of {len(recent)} frames show exactly {names}")
    worst = {"corner_px": 0.0, "rotation_deg": 0.0, "distance_fraction": 0.0}
    matched = set()
    for record in complete:
        if (record["width"], record["height"]) != (truth["width"], truth["height"]):
            failures.append(f"frame {record['index']} is {record['width']} x {record['height']}")
            continue
        costs = sorted((frame_cost(record["detections"], f), f["index"]) for f in truth["frames"])
        (best, index), (second, _) = costs[0], costs[1]
        if best > CORNER_PX or second < NEXT_FRAME_PX:
            failures.append(f"frame {record['index']}: nearest clip frame {index} at {best:.3f} px, "
                            f"next at {second:.3f} px")
            continue
        matched.add(index)
        worst["corner_px"] = max(worst["corner_px"], best)
        shown = {m["name"]: m for m in truth["frames"][index]["markers"]}
        for d in record["detections"]:
            t = shown[d["name"]]
            angle = rotation_degrees(d["rotation"], t["rotation"])
            off = math.dist(d["translation"], t["translation"]) / math.hypot(*t["translation"])
            worst["rotation_deg"] = max(worst["rotation_deg"], angle)
            worst["distance_fraction"] = max(worst["distance_fraction"], off)
            if angle > ROTATION_DEGREES or off > DISTANCE_FRACTION:
                failures.append(f"frame {record['index']} (clip {index}) {d['name']}: rotation off {angle:.2f} "
                                f"degrees, translation off {100 * off:.2f} %")
    # The clip plays: many of its frames were seen.
    if len(matched) < 10:
        failures.append(f"only {len(matched)} distinct clip frames were tracked")
    times = [r["trackMs"] for r in recent]
    if not all(isinstance(t, (int, float)) and t > 0 for t in times):
        failures.append("the page does not report a time for every frame")
    return worst, len(matched)


def run_page(driver, url, source, worker, screenshot, truth, failures):
    driver.get(url)
    deadline = time.monotonic() + WAIT_SECONDS
    stats = {}
    while time.monotonic() < deadline:
        stats = json.loads(driver.execute_script("return JSON.stringify(window.markeyeStats || {})"))
        if stats.get("error") or stats.get("frames", 0) >= FRAMES_NEEDED:
            break
        time.sleep(0.5)
    stats_text = driver.find_element("id", "stats").text
    if screenshot:
        driver.save_screenshot(screenshot)
    count = len(failures)
    if stats.get("error"):
        failures.append(f"{source}: the page reports: {stats['error']}")
    elif stats.get("frames", 0) < FRAMES_NEEDED:
        failures.append(f"{source}: the page tracked {stats.get('frames', 0)} frames in {WAIT_SECONDS} s")
    else:
        worst, distinct = check(stats, truth, source, worker, failures)
        if "ms" not in stats_text or "fps" not in stats_text:
            failures.append(f"the page shows no frame rate and time per frame: {stats_text!r}")
        print(f"{source}: checked {len(stats['recent'])} frames ({distinct} distinct clip frames): worst corner "
              f"{worst['corner_px']:.3f} px, rotation {worst['rotation_deg']:.3f} degrees, translation "
              f"{100 * worst['distance_fraction']:.3f} % of the distance")
        print(f"{source}: page shows: {stats_text}")
    print(f"{source}: {'ok' if len(failures) == count else 'FAILED'}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--dist", default=os.environ.get("MARKEYE_WEB_DIST"))
    parser.add_argument("--fixtures", default=os.environ.get("MARKEYE_WEB_FIXTURES"))
    parser.add_argument("--screenshot", default="web-screenshot.png")
    args = parser.parse_args()
    if not args.dist or not args.fixtures:
        parser.error("give --dist and --fixtures (or MARKEYE_WEB_DIST and MARKEYE_WEB_FIXTURES)")
    fixtures = Path(args.fixtures)
    truth = json.loads((fixtures / "clip.json").read_text())

    server = serve(Path(args.dist))
    driver = browser(fixtures / "clip.y4m")
    failures = []
    page = f"http://127.0.0.1:{server.server_address[1]}/index.html"
    try:
        # The fake camera through the worker, then the page's own demo clip
        # (the same clip, decoded by the page) tracked in the page's thread.
        for query, source, worker, screenshot in (("", "camera", True, args.screenshot),
                                                  ("?source=demo&worker=0", "demo clip", False, None)):
            run_page(driver, page + query, source, worker, screenshot, truth, failures)
    finally:
        driver.quit()
        server.shutdown()
    print(f"screenshot: {Path(args.screenshot).resolve()}")
    for failure in failures[:20]:
        print(f"FAIL: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
