#!/usr/bin/env bash
# The test command's run of one fuzz target: a fixed number of runs with a fixed seed over the
# seed corpus and the checked-in regression inputs (less those listed as pending). Fails on any
# finding: crash, sanitizer report, leak, timeout or out-of-memory.
# Usage: run-short.sh FUZZER TARGET SOURCE_ROOT WORK_FOLDER RUNS
set -euo pipefail
fuzzer=$1
target=$2
root=$3
work=$4/$target
runs=$5
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work"
mkdir -p "$work/new" "$work/findings" "$work/tmp"
bash "$here/seed-corpus.sh" "$target" "$root" "$work/seeds" "$(dirname "$fuzzer")"

# The scratch files are rewritten for every input: keep them in memory where possible. A
# finding ends the fuzzer without clean-up, so the folder goes when this script ends.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    TMPDIR=$(mktemp -d /dev/shm/camcab-fuzz-run-XXXXXX)
    trap 'rm -rf "$TMPDIR"' EXIT
else
    TMPDIR=$work/tmp
fi
export TMPDIR
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_odr_violation=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The regression inputs run once each, as they are: mutating a large one (a table at its
# bound) would spend the whole run near that bound instead of exploring.
mkdir -p "$work/regressions"
find "$work/seeds" -name 'regression-*' -exec mv {} "$work/regressions/" \;
flags=(-timeout=10 -rss_limit_mb=1024 -artifact_prefix="$work/findings/")
if [ -n "$(ls -A "$work/regressions")" ]; then
    "$fuzzer" "${flags[@]}" "$work/regressions"/*
fi
# New inputs go to the first, empty folder, so every run starts from the same corpus.
"$fuzzer" -runs="$runs" -seed=1 -max_len="$(bash "$here/max-len.sh" "$target")" -print_final_stats=1 "${flags[@]}" \
    "$work/new" "$work/seeds"
