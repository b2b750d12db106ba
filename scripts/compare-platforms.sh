#!/usr/bin/env bash
# Shows that the Windows DLL under Wine and the Linux library answer the sample scenario alike:
# the same handles, panel values and host sound commands on every frame, the line voltage
# (a random wander, panel 232) aside. The vehicle is the sample one, sounds and all: on both
# platforms camcab-run keeps the audio clock, so each sound lasts the same frames.
# Run after both builds (scripts/test-all.sh does).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scratch=build/compare-platforms
rm -rf "$scratch"
mkdir -p "$scratch/linux" "$scratch/windows"
for side in linux windows; do
    cp -R examples/vehicle/. "$scratch/$side/"
done
cp build/linux/plugin/libcamcab.so build/linux/plugin/camcab-passthrough.so "$scratch/linux/"
cp build/windows/plugin/camcab.dll build/windows/plugin/camcab-passthrough.dll "$scratch/windows/"
# The frames as both platforms answer them: no paths, no audio marks, no line voltage, no
# render speed.
normalise() {
    grep -v -e '^plug-in ' -e '^start-up log ' -e '^drove ' "$1" |
        sed -E -e 's/ audio (on|up) -?[0-9]+ dBFS//; s/ audio off//' \
            -e 's/ 232=-?[0-9]+//' -e 's/ panel( sound| events|$)/\1/'
}

# Drives SCENARIO on both platforms; fails unless every frame, at least MINIMUM of them, agrees.
compare() {
    local scenario=$1 minimum=$2 name
    name=$(basename "$scenario" .txt)
    SDL_AUDIODRIVER=dummy build/linux/tools/camcab-run/camcab-run --every-frame \
        "$scratch/linux/libcamcab.so" "$scenario" > "$scratch/linux-$name.txt"
    CAMCAB_WINE_ROOT="$root/build/windows" bash cmake/wine-run.sh \
        build/windows/tools/camcab-run/camcab-run.exe --every-frame \
        "$scratch/windows/camcab.dll" "$scenario" | tr -d '\r' > "$scratch/windows-$name.txt"
    normalise "$scratch/linux-$name.txt" > "$scratch/linux-$name.norm"
    normalise "$scratch/windows-$name.txt" > "$scratch/windows-$name.norm"
    local frames
    frames=$(grep -c '^frame ' "$scratch/linux-$name.norm" || true)
    if [ "$frames" -lt "$minimum" ] ||
        ! diff -u "$scratch/linux-$name.norm" "$scratch/windows-$name.norm" > "$scratch/diff-$name.txt"; then
        echo "The Linux and Windows plug-ins answer $scenario differently:" >&2
        head -40 "$scratch/diff-$name.txt" >&2
        exit 1
    fi
    echo "Linux and Windows agree on all $frames frames of $scenario"
}

# The sample drive, and the user's guide's drive with the train model.
compare examples/scenarios/sample.txt 600
compare examples/scenarios/drive.txt 3000
