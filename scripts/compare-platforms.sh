#!/usr/bin/env bash
# Shows that the Windows DLL under Wine and the Linux library answer the sample scenario alike:
# the same handles, panel values and host sound commands on every frame, the line voltage
# (a random wander, panel 232) aside. The vehicle is the sample one without its WAV files:
# with sounds, how long a sound plays is counted on each platform's own audio clock (Wine's
# runs in real time), and the camshaft's power cuts follow it.
# Run after both builds (scripts/test-all.sh does).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scratch=build/compare-platforms
rm -rf "$scratch"
mkdir -p "$scratch/linux" "$scratch/windows"
for side in linux windows; do
    cp -R examples/vehicle/. "$scratch/$side/"
    find "$scratch/$side" -name '*.wav' -delete
done
cp build/linux/plugin/libcamcab.so build/linux/plugin/camcab-passthrough.so "$scratch/linux/"
cp build/windows/plugin/camcab.dll build/windows/plugin/camcab-passthrough.dll "$scratch/windows/"
scenario=examples/scenarios/sample.txt

SDL_AUDIODRIVER=dummy build/linux/tools/camcab-run/camcab-run --every-frame \
    "$scratch/linux/libcamcab.so" "$scenario" > "$scratch/linux.txt"
CAMCAB_WINE_ROOT="$root/build/windows" bash cmake/wine-run.sh \
    build/windows/tools/camcab-run/camcab-run.exe --every-frame \
    "$scratch/windows/camcab.dll" "$scenario" | tr -d '\r' > "$scratch/windows.txt"

# The frames as both platforms answer them: no paths, no audio marks, no line voltage, no
# render speed.
normalise() {
    grep -v -e '^plug-in ' -e '^start-up log ' -e '^drove ' "$1" |
        sed -E -e 's/ audio (on|up) -?[0-9]+ dBFS//; s/ audio off//' \
            -e 's/ 232=-?[0-9]+//' -e 's/ panel$//; s/ panel sound/ sound/'
}
normalise "$scratch/linux.txt" > "$scratch/linux.norm"
normalise "$scratch/windows.txt" > "$scratch/windows.norm"
frames=$(grep -c '^frame ' "$scratch/linux.norm" || true)
if [ "$frames" -lt 600 ] || ! diff -u "$scratch/linux.norm" "$scratch/windows.norm" > "$scratch/diff.txt"; then
    echo "The Linux and Windows plug-ins answer the sample scenario differently:" >&2
    head -40 "$scratch/diff.txt" >&2
    exit 1
fi
echo "Linux and Windows agree on all $frames frames of the sample scenario"
