#!/usr/bin/env bash
# Builds the seed corpus of one fuzz target from the sample vehicle's files, and adds the
# target's checked-in regression inputs, less those listed in regressions/pending.txt.
# Usage: seed-corpus.sh TARGET SOURCE_ROOT OUT_FOLDER TOOLS_FOLDER
#   OUT_FOLDER is emptied first; TOOLS_FOLDER holds make_sound_seeds (build/fuzz/tests/fuzz).
set -euo pipefail
target=$1
vehicle=$2/examples/vehicle
out=$3
tools=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out"
mkdir -p "$out"

# Between the files of one input; the same bytes as kFileSeparator in FuzzFiles.h.
separator=$'\n#%%\n'

case "$target" in
notch_table)
    # The whole group as the sample has it, and the group with each data file emptied.
    n=$vehicle/notch
    files=(notch.txt power_params.csv power_current.csv brake_params.csv brake_current.csv
        noload_current.csv)
    join() {
        local first=1
        for f in "$@"; do
            [ $first = 1 ] || printf '%s' "$separator"
            first=0
            [ "$f" = - ] || cat "$n/$f"
        done
    }
    join "${files[@]}" >"$out/sample"
    for i in 1 2 3 4 5; do
        group=("${files[@]}")
        group[$i]=-
        join "${group[@]}" >"$out/sample-emptied-${files[$i]}"
    done
    ;;
motor_sound_config)
    # The configuration naming "table.csv" for every table, with each sample table.
    for table in "$vehicle"/motor/*.csv; do
        {
            sed 's/motor\\[A-Za-z_]*\.csv/table.csv/' "$vehicle/AtsMotorConfig.txt"
            printf '%s' "$separator"
            cat "$table"
        } >"$out/$(basename "$table" .csv)"
    done
    ;;
curve)
    for table in "$vehicle"/NeedleTable/*.csv "$vehicle"/motor/*.csv "$vehicle"/notch/*.csv; do
        cp "$table" "$out/$(basename "$(dirname "$table")")-$(basename "$table")"
    done
    ;;
module_list)
    cp "$vehicle/detailmodulesx64.txt" "$out/sample"
    ;;
scenario)
    # The example scenarios and those of the tests, a recorded drive among them.
    for scenario in "$2"/examples/scenarios/*.txt "$2"/tests/*/scenarios/*.txt; do
        cp "$scenario" "$out/$(basename "$(dirname "$(dirname "$scenario")")")-$(basename "$scenario")"
    done
    ;;
audio_decoder)
    for sound in "$vehicle"/*.wav "$vehicle"/*/*.wav; do
        cp "$sound" "$out/$(basename "$(dirname "$sound")")-$(basename "$sound")"
    done
    # A mono and a stereo sound in the other encodings the decoder serves.
    for sound in kamujiku/notchoff.wav kamujiku/breakeroff.wav; do
        ASAN_OPTIONS=detect_leaks=0 "$tools/make_sound_seeds" "$vehicle/$sound" \
            "$out/encoded-$(basename "$sound" .wav)"
    done
    ;;
recording | report)
    # Inputs are raw values taken in turn: zeros (a call or frame of zeros each) and text.
    head -c 512 /dev/zero >"$out/zeros"
    seq 1 300 | tr '\n' ' ' >"$out/numbers"
    ;;
*)
    echo "unknown fuzz target: $target" >&2
    exit 2
    ;;
esac

regressions=$here/regressions/$target
pending=$(sed 's/[[:space:]]*#.*//' "$here/regressions/pending.txt")
for input in "$regressions"/*; do
    [ -f "$input" ] || continue
    name=$target/$(basename "$input")
    if grep -qxF "$name" <<<"$pending"; then
        echo "pending, left out: $name"
        continue
    fi
    cp "$input" "$out/regression-$(basename "$input")"
done
