#!/usr/bin/env python3
"""The module's benchmark in headless Chromium: serves bench.html beside the
built module and the fixture tool's frames, runs it, and prints the median
ms per frame with six patterns, beside the native library's on the same
frames when the fixture tool is given.

    browser_bench.py DIST FIXTURES [markeye_web_fixtures]"""

import json
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
from browser_test import browser, serve  # noqa: E402

TIMEOUT_SECONDS = 300


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    dist, fixtures = Path(sys.argv[1]), Path(sys.argv[2])
    tool = sys.argv[3] if len(sys.argv) > 3 else None
    here = Path(__file__).resolve().parent
    with tempfile.TemporaryDirectory() as folder:
        root = Path(folder)
        for source in [*dist.iterdir(), *fixtures.iterdir(), here / "bench.html", here / "timing.mjs"]:
            (root / source.name).symlink_to(source.resolve())
        server = serve(root)
        driver = browser(fixtures / "clip.y4m")
        try:
            driver.get(f"http://127.0.0.1:{server.server_address[1]}/bench.html")
            deadline = time.monotonic() + TIMEOUT_SECONDS
            bench = None
            while bench is None and time.monotonic() < deadline:
                time.sleep(1)
                bench = driver.execute_script("return window.markeyeBench || null")
        finally:
            driver.quit()
            server.shutdown()
    if not bench or "error" in bench:
        print(f"the benchmark page failed: {bench}", file=sys.stderr)
        return 1
    native = json.loads(subprocess.run([tool, "bench"], capture_output=True, text=True, check=True).stdout) \
        if tool else None
    print(bench["userAgent"])
    for r in bench["results"]:
        line = f"{r['width']} x {r['height']}, {r['patterns']} patterns: {r['found']} found, " \
               f"module {r['medianMs']:.3f} ms median"
        if native:
            n = next(s for s in native["sizes"] if s["width"] == r["width"])
            line += f", native {n['medianMs']:.3f} ms, ratio {r['medianMs'] / n['medianMs']:.2f}"
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
