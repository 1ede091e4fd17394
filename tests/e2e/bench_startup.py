#!/usr/bin/env python3
"""Start-up figures of the packed 64-bit wizard under Wine, against the loopback servers of the
whole-run tests. Prints "bench: <name> <value> <unit>" lines:
  start_to_window_ms           process start to the host window being visible (median of 5)
  start_to_first_report_ms     process start to the first analytics request at the report server
  start_floor_ms               the same start of an empty-window program (median of 5)
  start_ratio                  window time over floor time
  start_over_floor_ms          start_to_window_ms - start_floor_ms: what the wizard adds to an empty window
  stalled_licence_*            the first two again with a licence server that accepts and never answers
Run by tests/bench/run (WINEPREFIX, DISPLAY and a persistent wineserver set, network private).
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wizard_harness as wh  # noqa: E402

RUNS = 5
STALLED_RUNS = 3
RUN_LIMIT = 90  # seconds one start may take before it counts as never having shown a window
# The scenario leaves the window up long enough to be seen, then closes it as a user would.
SCENARIO = 'host.log("page: loaded");\nhost.setTimeout(function () { host.postClose(); }, 1000);\n'


def timed_start(build, command, window_class, env, reports=None):
    """Starts `command` under Wine; returns (ms to a visible window or None, ms to the first report
    or None), after the program has ended (or been ended)."""
    tool = subprocess.Popen([wh.WINE64, os.path.join(build, "e2e_window_tool.exe"), "visible", window_class,
                             str(RUN_LIMIT * 1000)], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, env=env)
    ready = tool.stdout.readline().strip()
    if ready != b"watching":
        tool.kill()
        tool.wait()
        raise RuntimeError("the window tool did not start")
    first = []
    if reports is not None:
        reports.on_request = lambda request: first.append(time.monotonic()) if not first else None
    started = time.monotonic()
    process = subprocess.Popen([wh.WINE64] + command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, env=env)
    window_ms = None
    try:
        if tool.wait(RUN_LIMIT + 10) == 0:
            window_ms = (time.monotonic() - started) * 1000
    except subprocess.TimeoutExpired:
        tool.kill()
        tool.wait()
    try:
        process.wait(RUN_LIMIT)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    report_ms = (first[0] - started) * 1000 if first else None
    return window_ms, report_ms


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def show(name, value, unit):
    print("bench: %s %s %s" % (name, "none" if value is None else "%.0f" % value, unit), flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="the 64-bit build folder")
    build = os.path.abspath(parser.parse_args().build)
    prefix = os.environ["WINEPREFIX"]
    exe = os.path.join(build, "dist", "QRXDownloadManager.exe")

    with tempfile.TemporaryDirectory(prefix="qrx-bench-start-") as temp:
        scenario = os.path.join(temp, "startup.js")
        with open(scenario, "w", encoding="utf-8") as f:
            f.write(SCENARIO)
        env = dict(os.environ, WINEDEBUG="-all")
        env["QRX_STANDIN_SCENARIO"] = wh.wine_path(scenario)
        env["QRX_STANDIN_LOG"] = wh.wine_path(os.path.join(temp, "page.log"))

        def clean():
            for path in wh.desktop_shortcuts(prefix):
                os.remove(path)

        floor = [timed_start(build, [os.path.join(build, "e2e_empty_window.exe")], "QRXStartFloor", env)[0]
                 for _ in range(RUNS)]

        reports = wh.ReportServer(lifetime=3600)
        try:
            with wh.LicenseServer(lifetime=3600):
                normal = []
                for _ in range(RUNS):
                    normal.append(timed_start(build, [exe], "HTMLUI", env, reports))
                    clean()
            # A licence server that accepts and never answers.
            with wh.LicenseServer(lifetime=3600, hold_all=True):
                stalled = []
                for _ in range(STALLED_RUNS):
                    stalled.append(timed_start(build, [exe], "HTMLUI", env, reports))
                    clean()
        finally:
            reports.stop()

    window = median([w for w, _ in normal])
    floor_ms = median(floor)
    show("start_to_window_ms", window, "ms")
    show("start_to_first_report_ms", median([r for _, r in normal]), "ms")
    show("start_floor_ms", floor_ms, "ms")
    ratio = window / floor_ms if window and floor_ms else None
    print("bench: start_ratio %s ratio" % ("none" if ratio is None else "%.2f" % ratio), flush=True)
    show("start_over_floor_ms", window - floor_ms if window and floor_ms else None, "ms")
    show("stalled_licence_start_to_window_ms", median([w for w, _ in stalled]), "ms")
    show("stalled_licence_start_to_first_report_ms", median([r for _, r in stalled]), "ms")
    return 0


if __name__ == "__main__":
    sys.exit(main())
