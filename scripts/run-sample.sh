#!/usr/bin/env bash
# The main job: builds the Linux plug-in and the host stand-in, installs the plug-in into a
# copy of the sample vehicle folder, and drives it through the sample scenario.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup-debian.sh --runtime-only
cmake --preset linux >/dev/null
cmake --build --preset linux --target camcab camcab-passthrough camcab-run

# A vehicle folder holds the plug-in beside its configuration and sounds, and the chained
# module that hands the driver's brake on (the plug-in returns the chain's brake notch).
vehicle=build/linux/sample-vehicle
rm -rf "$vehicle"
mkdir -p "$vehicle"
cp -R examples/vehicle/. "$vehicle/"
cp build/linux/plugin/libcamcab.so build/linux/plugin/camcab-passthrough.so "$vehicle/"

# The plug-in's own sounds are rendered frame by frame into a WAV file beside the vehicle.
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
build/linux/tools/camcab-run/camcab-run --audio build/linux/sample-run.wav "$@" \
    "$vehicle/libcamcab.so" examples/scenarios/sample.txt
echo "rendered audio: build/linux/sample-run.wav"
