#!/usr/bin/env bash
# Runs fuzz targets for as long as asked: builds the fuzz preset if needed, grows the corpus in
# build/fuzz/corpus/TARGET (seeded from the sample vehicle and the regression inputs), and
# writes findings to build/fuzz/findings/TARGET.
# Usage: scripts/fuzz.sh TARGET MINUTES [LIBFUZZER_FLAG...]
#        scripts/fuzz.sh --campaign MINUTES [TARGET...]
#   TARGET: a camcab_add_fuzz_target name in tests/fuzz/CMakeLists.txt (notch_table, curve, ...)
#   One target stops at its first finding and exits non-zero. Further flags go to libFuzzer,
#   after the script's own (e.g. -max_len=1048576 -use_value_profile=1).
#   A campaign runs each target (all of them by default) in turn for MINUTES, going on after
#   a finding until its time is spent, and prints each target's runs and findings, added to
#   build/fuzz/campaign.txt. It exits non-zero if any target found anything.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
usage() {
    sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
}
all_targets() {
    sed -n 's/^camcab_add_fuzz_target(\([a-z_]*\) .*/\1/p' tests/fuzz/CMakeLists.txt
}
campaign=0
if [ "${1:-}" = --campaign ]; then
    campaign=1
    shift
    [ $# -ge 1 ] && [[ $1 =~ ^[0-9]+$ ]] || usage
    minutes=$1
    shift
    targets=("$@")
    [ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(all_targets)
else
    [ $# -ge 2 ] && [[ $2 =~ ^[0-9]+$ ]] || usage
    targets=("$1")
    minutes=$2
    shift 2
fi
[ "$minutes" -gt 0 ] || usage
for target in "${targets[@]}"; do
    if ! all_targets | grep -qxF "$target"; then
        echo "unknown fuzz target: $target" >&2
        exit 2
    fi
done

bash scripts/setup-debian.sh
if [ ! -f build/fuzz/CMakeCache.txt ]; then
    cmake --preset fuzz
fi
cmake --build --preset fuzz -j 2 --target "${targets[@]/#/fuzz_}"

# The scratch files are rewritten for every input: keep them in memory where possible. A
# finding ends the fuzzer without clean-up, so the folder goes when this script ends.
memory=/dev/shm
[ -d "$memory" ] && [ -w "$memory" ] || memory=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$memory/camcab-fuzz-run-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_odr_violation=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Runs TARGET until SECONDS have passed: once, or in a campaign again after each finding.
# Prints "runs findings" on its last line; the fuzzer's own output goes to the log.
fuzz_target() {
    local target=$1 seconds=$2 log=$3
    shift 3
    local fuzzer=$root/build/fuzz/tests/fuzz/fuzz_$target
    local corpus=$root/build/fuzz/corpus/$target
    local findings=$root/build/fuzz/findings/$target
    local seeds=$root/build/fuzz/seeds/$target
    mkdir -p "$corpus" "$findings"
    bash tests/fuzz/seed-corpus.sh "$target" "$root" "$seeds" "$root/build/fuzz/tests/fuzz" >>"$log"
    local marker=$scratch/started-$target
    touch "$marker"
    local end=$((SECONDS + seconds)) runs=0 status=0
    while :; do
        local left=$((end - SECONDS))
        [ $left -gt 0 ] || break
        rm -rf "${scratch:?}/tmp" && mkdir "$scratch/tmp"
        status=0
        TMPDIR=$scratch/tmp "$fuzzer" -max_total_time=$left -timeout=10 -rss_limit_mb=1024 \
            -max_len="$(bash tests/fuzz/max-len.sh "$target")" -artifact_prefix="$findings/" -print_final_stats=1 "$@" \
            "$corpus" "$seeds" >"$scratch/out" 2>&1 || status=$?
        cat "$scratch/out" >>"$log"
        runs=$((runs + $(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/out" | tail -1)))
        [ $status -ne 0 ] && [ $campaign = 1 ] || break
    done
    local found
    found=$(find "$findings" -type f -newer "$marker" | wc -l)
    if [ "$found" -gt 0 ]; then
        echo "Findings of $target (reproduce with the fuzzer and the file; once the reader is" \
            "mended, check each in as tests/fuzz/regressions/$target/<name>):" >>"$log"
        find "$findings" -type f -newer "$marker" | sed "s|^|    $fuzzer |" >>"$log"
    fi
    echo "$runs $found $status"
}

if [ $campaign = 0 ]; then
    log=$scratch/log
    : >"$log"
    tail -f "$log" &
    follower=$!
    read -r _ found status < <(fuzz_target "${targets[0]}" $((minutes * 60)) "$log" "$@")
    sleep 1
    kill $follower
    exit "$status"
fi

summary=$root/build/fuzz/campaign.txt
log=$root/build/fuzz/campaign-$(date -u +%Y%m%d-%H%M%S).log
printf '%s, %s minutes per target\n%-20s %12s %8s %9s\n' "$(date -u '+%Y-%m-%d %H:%M UTC')" \
    "$minutes" target runs runs/s findings | tee -a "$summary"
failed=0
for target in "${targets[@]}"; do
    read -r runs found _ < <(fuzz_target "$target" $((minutes * 60)) "$log")
    printf '%-20s %12d %8d %9d\n' "$target" "$runs" $((runs / (minutes * 60))) "$found" |
        tee -a "$summary"
    [ "$found" = 0 ] || failed=1
done
echo "The fuzzers' output is in $log."
exit $failed
