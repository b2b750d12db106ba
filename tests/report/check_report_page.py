#!/usr/bin/env python3
"""Writes a drive report and opens it in headless Chromium.

check_report_page.py FOLDER sample REPORT_SAMPLE
    the made-up drive of report_sample (names with markup, NaN and infinities)
check_report_page.py FOLDER drive CAMCAB_RUN VEHICLE PLUGIN PASSTHROUGH SCENARIO
    camcab-run --report drives a copy of VEHICLE, with the plug-in and the pass-through module
    installed, through SCENARIO

Passes when the page ran to its end without a script error or console error, every plot holds
data, the speed and current the page unpacked are the trace's, frame for frame, the spectrogram
was drawn and the screenshot shows a page (many colours, much ink).
check_report_page.py FOLDER compare CAMCAB_RUN VEHICLE PLUGIN PASSTHROUGH SCENARIO
    camcab-run --compare drives two copies of VEHICLE, the second with a longer breaker delay,
    and writes the A/B report: the page must run cleanly, hold every plot, name the changed cell
    and list the later breaker delay's end
check_report_page.py FOLDER page REPORT
    an existing page (a long drive's, for the benchmark): loaded alone and zoomed into its middle
    minute, which must show every frame; prints the time it took.

Exits 77 (skipped) when chromium is not installed.
"""
import html
import json
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

PLOTS = ["speed", "current", "handles", "lamps", "sounds", "level"]


def chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


def run_browser(browser, profile, url, *extra):
    command = [browser, "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
               "--user-data-dir=" + profile, "--enable-logging=stderr", "--v=0",
               "--virtual-time-budget=10000", "--window-size=1400,3600", *extra, url]
    return subprocess.run(command, capture_output=True, text=True, errors="replace", timeout=240)


def png_pixels(path):
    """Width, height and the rows of an 8-bit RGB or RGBA PNG, as bytes per row."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError("unexpected PNG layout %d/%d/%d" % (depth, colour, interlace))
    channels = 3 if colour == 2 else 4
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - channels] if x >= channels else 0
            b = previous[x]
            c = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, channels, rows


def write_page(folder, mode, arguments):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    page = os.path.join(folder, "report.html")
    if mode == "sample":
        subprocess.run([arguments[0], folder, "600"], check=True)
    else:
        run, vehicle_source, plugin, passthrough, scenario = arguments
        vehicle = os.path.join(folder, "vehicle")
        shutil.copytree(vehicle_source, vehicle)
        for module in (plugin, passthrough):
            shutil.copy(module, vehicle)
        environment = dict(os.environ, SDL_AUDIODRIVER="dummy", SDL_NO_SIGNAL_HANDLERS="1")
        subprocess.run([run, "--report", page, "--trace", os.path.join(folder, "trace.csv"),
                        os.path.join(vehicle, os.path.basename(plugin)), scenario], check=True,
                       env=environment, stdout=subprocess.DEVNULL)
    return page


def trace_fingerprints(path):
    """The page's fingerprint (report.js) of the trace's speed and current: the frames, the
    values that are not finite, and the sum of the others to a thousandth, weighted by place."""
    import csv
    with open(path, newline="") as trace:
        rows = list(csv.DictReader(trace))
    prints = {}
    for name, column in (("speed", "speed_kmh"), ("current", "current_a")):
        nulls, total = 0, 0.0
        for i, row in enumerate(rows):
            # The trace writes the host's floats; the page rounds each, as a double, half away
            # from zero to a thousandth.
            value = struct.unpack("<f", struct.pack("<f", float(row[column])))[0]
            if value != value or value in (float("inf"), float("-inf")):
                nulls += 1
            else:
                total += (i % 7 + 1) * math.copysign(math.floor(abs(value * 1000.0) + 0.5), value) / 1000
        prints[name] = {"frames": len(rows), "nulls": nulls, "sum": total}
    return prints


def page_status(dom):
    found = re.search(r'<pre id="report-status" hidden="">(.*?)</pre>', dom.stdout, re.S)
    return json.loads(html.unescape(found.group(1))) if found else {}


def check_existing_page(browser, page):
    """Loads a written page, whole and zoomed into its middle minute, and times it."""
    url = "file://" + os.path.abspath(page)
    failures = []
    with tempfile.TemporaryDirectory() as profile:
        started = time.monotonic()
        run_browser(browser, profile, "about:blank", "--dump-dom")
        browser_seconds = time.monotonic() - started
        started = time.monotonic()
        status = page_status(run_browser(browser, profile, url, "--dump-dom"))
        print("page %.1f MB: loaded in %.1f s (the browser alone %.1f s), its script ready at "
              "%.1f s" % (os.path.getsize(page) / 1e6, time.monotonic() - started, browser_seconds,
                          status.get("readyMs", 0) / 1000))
        if not status.get("ready") or status.get("errors"):
            failures.append("the page did not load cleanly: %s" % status)
        ranges = status.get("ranges", {})
        if ranges:
            start, end = min(r[0] for r in ranges.values()), max(r[1] for r in ranges.values())
            middle = (start + end) / 2
            wanted = (round(middle - 30, 3), round(middle + 30, 3))
            started = time.monotonic()
            zoomed = page_status(run_browser(browser, profile, url + "#zoom=%s,%s" % wanted, "--dump-dom"))
            print("zoomed into %s..%s s in %.1f s: %s" % (wanted[0], wanted[1],
                                                          time.monotonic() - started,
                                                          json.dumps(zoomed.get("view"))))
            coarse = [plot for plot, view in zoomed.get("view", {}).items() if not view["everyFrame"]]
            if not zoomed.get("view") or coarse:
                failures.append("a minute does not show every frame in: %s" % coarse)
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


def check_compare_page(browser, folder, arguments):
    """Two copies of a vehicle, B's breaker delay longer, driven and compared by camcab-run."""
    run, vehicle_source, plugin, passthrough, scenario = arguments
    shutil.rmtree(folder, ignore_errors=True)
    for name in ("A", "B"):
        shutil.copytree(vehicle_source, os.path.join(folder, name))
        for module in (plugin, passthrough):
            shutil.copy(module, os.path.join(folder, name))
    params = os.path.join(folder, "B", "notch", "brake_params.csv")
    text = open(params).read()
    open(params, "w").write(re.sub(r"BreakerDelay_On, [0-9.]+", "BreakerDelay_On, 1.5", text))
    page = os.path.join(folder, "ab.html")
    environment = dict(os.environ, SDL_AUDIODRIVER="dummy", SDL_NO_SIGNAL_HANDLERS="1")
    done = subprocess.run([run, "--compare", os.path.join(folder, "B"), "--report", page,
                           os.path.join(folder, "A", os.path.basename(plugin)), scenario],
                          env=environment, capture_output=True, text=True, errors="replace")
    failures = []
    listed = re.search(r"^[0-9]+ differences between drive A and drive B\n((?:  .*\n)*)",
                       done.stdout, re.M)
    print(listed.group(0) if listed else done.stdout[-2000:] + done.stderr)
    if done.returncode != 0 or not listed or not re.search(
            r"^  breaker delay end: A at .*, B at .* \(\+1\.2[0-9] s\)$", listed.group(1), re.M):
        failures.append("camcab-run --compare did not list the later breaker delay's end")
    with tempfile.TemporaryDirectory() as profile:
        dom = run_browser(browser, profile, "file://" + os.path.abspath(page), "--dump-dom")
    status = page_status(dom)
    print("status:", json.dumps(status))
    if not status.get("ready") or status.get("errors"):
        failures.append("the page did not run cleanly: %s" % status)
    for plot in ("speed", "current", "stages", "own-sounds", "handles"):
        counts = status.get("plots", {}).get(plot, {})
        if counts.get("rows", 0) < 2 or counts.get("series", 0) < 2:
            failures.append("plot %s holds no data for both drives: %s" % (plot, counts))
    written = open(page, encoding="utf-8").read()
    if "<code>notch/brake_params.csv</code>" not in written or not re.search(
            r"field 2: <code>0\.25</code> &rarr; <code>1\.5</code>", written):
        failures.append("the page does not name the changed cell")
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


def main():
    folder, mode, arguments = sys.argv[1], sys.argv[2], sys.argv[3:]
    browser = chromium()
    if browser is None:
        print("chromium is not installed: skipped")
        return 77
    if mode == "page":
        return check_existing_page(browser, arguments[0])
    if mode == "compare":
        return check_compare_page(browser, folder, arguments)
    page = write_page(folder, mode, arguments)
    url = "file://" + os.path.abspath(page)
    failures = []

    with tempfile.TemporaryDirectory() as profile:
        started = time.monotonic()
        dom = run_browser(browser, profile, url, "--dump-dom")
        print("page %d bytes, loaded and dumped in %.1f s" %
              (os.path.getsize(page), time.monotonic() - started))
        console = [line for line in dom.stderr.splitlines()
                   if "CONSOLE" in line or "Uncaught" in line]
        if console:
            failures.append("console messages:\n  " + "\n  ".join(console))
        found = re.search(r'<pre id="report-status" hidden="">(.*?)</pre>', dom.stdout, re.S)
        if not found:
            failures.append("the page wrote no status (its script did not run to its end)")
            status = {}
        else:
            status = json.loads(html.unescape(found.group(1)))
            print("status:", json.dumps(status))
        for name, expected in trace_fingerprints(os.path.join(folder, "trace.csv")).items():
            got = status.get("columns", {}).get(name, {})
            if (got.get("frames") != expected["frames"] or got.get("nulls") != expected["nulls"]
                    or abs(got.get("sum", 0) - expected["sum"]) > 1e-9 * max(1, abs(expected["sum"]))):
                failures.append("the page's %s is not the trace's: %s, trace %s" % (name, got, expected))
        if status.get("errors"):
            failures.append("script errors: %s" % status["errors"])
        if status and not status.get("ready"):
            failures.append("the page's script did not finish")
        # The needles come in one plot per group of like values.
        needles = sorted(p for p in status.get("plots", {}) if p.startswith("needles-"))
        if not needles:
            failures.append("no needle plot")
        plots = PLOTS + needles + (["own-sounds"] if mode == "drive" else [])
        if mode == "drive" and not status.get("markers"):
            failures.append("no stage marker on the current plot")
        for plot in plots:
            counts = status.get("plots", {}).get(plot, {})
            if counts.get("rows", 0) < 2 or counts.get("series", 0) < 1:
                failures.append("plot %s holds no data: %s" % (plot, counts))
        if status and status.get("spectrogram") != "drawn":
            failures.append("the spectrogram was not drawn")
        if "<title>camcab drive report</title>" not in dom.stdout:
            failures.append("a file name ran as script")
        if mode == "drive" and "<th>Sound clock</th><td>the drive's own:" not in dom.stdout:
            failures.append("the summary does not name the drive's own sound clock")

        # Zooming the first plot zooms every plot to the same range.
        start = min(r[0] for r in status.get("ranges", {}).values()) if status.get("ranges") else 0
        wanted = [round(start + 2.0, 3), round(start + 4.5, 3)]
        zoomed = run_browser(browser, profile, url + "#zoom=%s,%s" % tuple(wanted), "--dump-dom")
        found = re.search(r'<pre id="report-status" hidden="">(.*?)</pre>', zoomed.stdout, re.S)
        ranges = json.loads(html.unescape(found.group(1))).get("ranges", {}) if found else {}
        if sorted(ranges) != sorted(plots) or any(
                abs(r[0] - wanted[0]) > 1e-6 or abs(r[1] - wanted[1]) > 1e-6 for r in ranges.values()):
            failures.append("zooming one plot left others elsewhere: %s" % ranges)
        view = json.loads(html.unescape(found.group(1))).get("view", {}) if found else {}
        if sorted(view) != sorted(plots) or not all(v["everyFrame"] for v in view.values()):
            failures.append("the zoomed range does not show every frame: %s" % view)

        shot = os.path.join(folder, "report.png")
        run_browser(browser, profile, url, "--screenshot=" + shot, "--hide-scrollbars")
        try:
            width, height, channels, rows = png_pixels(shot)
            colours, inked = set(), 0
            for row in rows[::4]:
                for x in range(0, width * channels, channels * 4):
                    pixel = row[x:x + 3]
                    colours.add(pixel)
                    inked += pixel != b"\xff\xff\xff"
            samples = len(rows[::4]) * len(range(0, width * channels, channels * 4))
            print("screenshot %dx%d: %d colours, %.0f%% not white" %
                  (width, height, len(colours), 100.0 * inked / samples))
            if len(colours) < 200 or inked < samples // 20:
                failures.append("the screenshot looks blank")
        except (OSError, ValueError, zlib.error) as error:
            failures.append("no readable screenshot: %s" % error)

    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
