#!/usr/bin/env bash
# The main job: builds the Linux plug-in and the host stand-in, installs the plug-in into a
# copy of the sample vehicle folder, and lets the train model drive it through a whole run
# (departure, every camshaft stage, coasting, regenerative braking, a stop). It writes the
# per-frame trace, the drive report and the rendered sound; then a short second run shows
# the panel test mode and the brake override.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup-debian.sh --runtime-only
cmake --preset linux >/dev/null
cmake --build --preset linux --target camcab camcab-passthrough camcab-run

# A vehicle folder holds the plug-in beside its configuration and sounds, and the chained
# module that hands the driver's brake on (the plug-in returns the chain's brake notch).
out=build/linux/sample-run
vehicle=build/linux/sample-vehicle
rm -rf "$vehicle" "$out"
mkdir -p "$vehicle" "$out"
cp -R examples/vehicle/. "$vehicle/"
cp build/linux/plugin/libcamcab.so build/linux/plugin/camcab-passthrough.so "$vehicle/"

# The plug-in's own sounds are rendered frame by frame, in step with the drive.
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
run=build/linux/tools/camcab-run/camcab-run
"$run" --trace "$out/drive.csv" --report "$out/drive.html" --audio "$out/drive.wav" "$@" \
    "$vehicle/libcamcab.so" examples/scenarios/drive.txt

# The panel test mode needs "PanelModify.txt" beside the plug-in.
panel_vehicle=build/linux/sample-vehicle-panel-test
rm -rf "$panel_vehicle"
cp -R "$vehicle" "$panel_vehicle"
touch "$panel_vehicle/PanelModify.txt"
"$run" --trace "$out/panel-test.csv" --report "$out/panel-test.html" "$@" \
    "$panel_vehicle/libcamcab.so" examples/scenarios/panel-test.txt

echo
echo "The whole run:  trace $out/drive.csv"
echo "                report $out/drive.html (open it in a browser)"
echo "                sound $out/drive.wav"
echo "Panel test run: trace $out/panel-test.csv, report $out/panel-test.html"
