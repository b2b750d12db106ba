#!/usr/bin/env bash
# The largest input each fuzz target is given, for scripts/fuzz.sh and run-short.sh.
# The notch table group's six files fit in a sixth of the others' bound (the sample's group is
# 2.5 KB): at 64 KB every input is a group 25 times the sample's, decoded, split and converted
# byte by byte under the fuzzer's instrumentation, and the runs fall to a few hundred a second
# with no gain in coverage.
# Usage: max-len.sh TARGET
case "$1" in
notch_table) echo 16384 ;;
*) echo 65536 ;;
esac
