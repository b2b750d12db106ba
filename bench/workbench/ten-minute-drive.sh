#!/usr/bin/env bash
# Measures the workbench on a 10-minute drive: the sample vehicle's whole model run
# (examples/scenarios/drive.txt) seven times over, 31,500 frames of 20 ms, with trace, report
# and rendered sound. camcab-run prints the drive's own render speed; `time` gives the whole
# run's. Run scripts/run-sample.sh first (it builds camcab-run and the vehicle copy).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
out=build/linux/ten-minute-drive
mkdir -p "$out"
{
    sed -n '/^model on/q;p' examples/scenarios/drive.txt
    echo "model on"
    for lap in 1 2 3 4 5 6 7; do
        sed -n '/^model on/,$p' examples/scenarios/drive.txt | tail -n +2
        echo "door-close"
        echo "frames 25"
    done
} >"$out/drive.txt"
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
time build/linux/tools/camcab-run/camcab-run --trace "$out/drive.csv" --report "$out/drive.html" \
    --audio "$out/drive.wav" build/linux/sample-vehicle/libcamcab.so "$out/drive.txt" | tail -5
