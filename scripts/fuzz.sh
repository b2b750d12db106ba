#!/usr/bin/env bash
# Runs one fuzz target for as long as asked: builds the fuzz preset if needed, grows the corpus
# in build/fuzz/corpus/TARGET (seeded from the sample vehicle and the regression inputs), and
# writes findings to build/fuzz/findings/TARGET. Exits non-zero on a finding.
# Usage: scripts/fuzz.sh TARGET MINUTES [LIBFUZZER_FLAG...]
#   TARGET: notch_table, motor_sound_config, curve, module_list, audio_decoder or scenario
#   Further flags go to libFuzzer, after the script's own (e.g. -max_len=1048576 -use_value_profile=1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ $# -lt 2 ] || ! [[ $2 =~ ^[0-9]+$ ]]; then
    sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
target=$1
minutes=$2
shift 2
if ! grep -q "^camcab_add_fuzz_target($target " tests/fuzz/CMakeLists.txt; then
    echo "unknown fuzz target: $target" >&2
    exit 2
fi

bash scripts/setup-debian.sh
if [ ! -f build/fuzz/CMakeCache.txt ]; then
    cmake --preset fuzz
fi
cmake --build --preset fuzz -j 2 --target "fuzz_$target"

fuzzer=$root/build/fuzz/tests/fuzz/fuzz_$target
corpus=$root/build/fuzz/corpus/$target
findings=$root/build/fuzz/findings/$target
seeds=$root/build/fuzz/seeds/$target
mkdir -p "$corpus" "$findings"
bash tests/fuzz/seed-corpus.sh "$target" "$root" "$seeds" "$root/build/fuzz/tests/fuzz"

# The scratch files are rewritten for every input: keep them in memory where possible. A
# finding ends the fuzzer without clean-up, so the folder goes when this script ends.
memory=/dev/shm
[ -d "$memory" ] && [ -w "$memory" ] || memory=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$memory/camcab-fuzz-run-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_odr_violation=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
marker=$scratch/started
touch "$marker"
status=0
"$fuzzer" -max_total_time=$((minutes * 60)) -timeout=10 -rss_limit_mb=1024 -max_len=65536 \
    -artifact_prefix="$findings/" -print_final_stats=1 "$@" \
    "$corpus" "$seeds" || status=$?
if [ $status -ne 0 ]; then
    echo
    echo "Finding in $findings (exit $status). Reproduce with:"
    find "$findings" -type f -newer "$marker" | while read -r finding; do
        echo "    $fuzzer $finding"
    done
    echo "Check it in as tests/fuzz/regressions/$target/<name> once the reader is mended."
fi
exit $status
