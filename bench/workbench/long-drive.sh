#!/usr/bin/env bash
# Measures the workbench on a long drive: the sample vehicle's whole model run
# (examples/scenarios/drive.txt, 90 s) driven LAPS times over (default 7: a 10-minute drive of
# 31,500 frames of 20 ms; 40 laps: an hour, 180,000 frames), with trace, report and rendered
# sound. Prints camcab-run's own figures, the peak memory of the whole run, and the sizes of
# what it wrote. Run scripts/run-sample.sh first (it builds camcab-run and the vehicle copy).
#   bash bench/workbench/long-drive.sh [LAPS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
laps=${1:-7}
out=build/linux/long-drive-$laps
mkdir -p "$out"
{
    sed -n '/^model on/q;p' examples/scenarios/drive.txt
    echo "model on"
    for ((lap = 1; lap <= laps; ++lap)); do
        sed -n '/^model on/,$p' examples/scenarios/drive.txt | tail -n +2
        echo "door-close"
        echo "frames 25"
    done
} >"$out/drive.txt"
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
/usr/bin/time -f "whole run: %e s, peak memory %M KiB" \
    build/linux/tools/camcab-run/camcab-run --trace "$out/drive.csv" --report "$out/drive.html" \
    --audio "$out/drive.wav" build/linux/sample-vehicle/libcamcab.so "$out/drive.txt" 2>&1 |
    tail -5
ls -l "$out"/drive.csv "$out"/drive.html "$out"/drive.wav | awk '{print $5, $9}'
# The page: its size, how long headless Chromium takes to open it, and a minute zoomed in.
python3 tests/report/check_report_page.py "$out" page "$out/drive.html"
