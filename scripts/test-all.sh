#!/usr/bin/env bash
# Checks the sources' format, then builds both platforms with warnings as errors and runs every
# test: Linux, Linux with AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows build
# under Wine; then both plug-ins drive the
# sample scenario and must answer alike; last, a short fixed run of every fuzz target. Any
# failure, any sanitizer report or any fuzz finding fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup-debian.sh
jobs=$(nproc)

echo "== Format"
bash scripts/check-format.sh

echo "== Linux"
cmake --preset linux
cmake --build --preset linux -j "$jobs"
ctest --preset linux -j "$jobs"

echo "== Linux with sanitizers"
cmake --preset linux-sanitize
cmake --build --preset linux-sanitize -j "$jobs"
suppressions="$root/tests/lsan-suppressions.txt"
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_odr_violation=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if [ -f "$suppressions" ]; then
    export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0"
fi
ctest --preset linux-sanitize -j "$jobs"
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS

echo "== Windows under Wine"
cmake --preset windows
cmake --build --preset windows -j "$jobs"
ctest --preset windows -j "$jobs"

echo "== Linux and Windows answer alike"
bash scripts/compare-platforms.sh
WINEPREFIX="$root/build/windows/wineprefix" wineserver -k 2>/dev/null || true

echo "== Fuzz targets of the readers, short runs"
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz -j "$jobs"

echo "== All tests passed"
