#!/usr/bin/env bash
# Makes the release zip of a Windows build tree, unpacks it and checks what it holds: every
# file a user needs, every DLL and EXE importing only Windows system DLLs, the plug-in and the
# modules exporting exactly the host interface; then the unpacked tools check and drive the
# sample vehicle as it comes (under Wine).
#   check-package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

cmake --build "$build" --target package >/dev/null
zip=$(ls "$build"/package/camcab-*-win64.zip)
work="$build/package-check"
rm -rf "$work"
mkdir -p "$work"
unzip -q "$zip" -d "$work"
root="$work/$(basename "$zip" .zip)"

fail() { echo "package: $*"; exit 1; }
for file in camcab.dll camcab-passthrough.dll camcab-recorder.dll camcab-run.exe camcab-check.exe \
    camcab-tune.exe \
    user-guide.md sample-vehicle/camcab.dll sample-vehicle/camcab-passthrough.dll \
    sample-vehicle/detailmodulesx64.txt sample-vehicle/notch/notch.txt \
    sample-vehicle/AtsMotorConfig.txt sample-vehicle/NeedleTable/Speed.csv \
    sample-vehicle/airloop.wav scenarios/drive.txt scenarios/panel-test.txt; do
    [ -f "$root/$file" ] || fail "missing $file"
done
# The sample vehicle is the repository's, file for file.
(cd "$source/examples/vehicle" && find . -type f) | while read -r file; do
    cmp -s "$source/examples/vehicle/$file" "$root/sample-vehicle/$file" ||
        fail "sample-vehicle/$file differs from examples/vehicle"
done
# Nothing but the DLLs, EXEs, the guide and the two folders at the top.
extra=$(cd "$root" && ls | grep -v -E '^(camcab(-passthrough|-recorder)?\.dll|camcab-(run|check|tune)\.exe|user-guide\.md|sample-vehicle|scenarios)$' || true)
[ -z "$extra" ] || fail "unexpected files: $extra"

for binary in "$root"/*.dll "$root"/*.exe; do
    imports=$(x86_64-w64-mingw32-objdump -p "$binary" | awk '/DLL Name:/ {print tolower($3)}' | sort -u | xargs)
    for dll in $imports; do
        case "$dll" in
        kernel32.dll | user32.dll | msvcrt.dll | ole32.dll | advapi32.dll | shell32.dll | api-ms-win-*.dll) ;;
        *) fail "$(basename "$binary") imports a non-system DLL: $dll" ;;
        esac
    done
    if x86_64-w64-mingw32-objdump -h "$binary" | grep -q '\.debug_info'; then
        fail "$(basename "$binary") still carries debug information"
    fi
done
for module in camcab.dll camcab-passthrough.dll camcab-recorder.dll; do
    bash "$source/tests/plugin/check-binary.sh" "$root/$module" >/dev/null || fail "$module exports"
done

# The unpacked tools work on the unpacked sample vehicle.
run="$source/cmake/wine-run.sh"
"$run" "$root/camcab-check.exe" "$root/sample-vehicle" >"$work/check.txt" 2>&1 ||
    { cat "$work/check.txt"; fail "camcab-check finds faults in the sample vehicle"; }
"$run" "$root/camcab-run.exe" "$root/sample-vehicle/camcab.dll" "$root/scenarios/panel-test.txt" \
    >"$work/run.txt" 2>&1 || { cat "$work/run.txt"; fail "camcab-run cannot drive the sample vehicle"; }
grep -q 'handles B10' "$work/run.txt" || fail "the brake override is not returned"
# The sample vehicle against itself: the A/B run finds no difference.
"$run" "$root/camcab-run.exe" --compare "$root/sample-vehicle" --report "$work/ab.html" \
    "$root/sample-vehicle/camcab.dll" "$root/scenarios/drive.txt" >"$work/ab.txt" 2>&1 ||
    { cat "$work/ab.txt"; fail "camcab-run --compare cannot drive the sample vehicle twice"; }
grep -q '^0 differences between drive A and drive B' "$work/ab.txt" && [ -s "$work/ab.html" ] ||
    { tail -20 "$work/ab.txt"; fail "the sample vehicle differs from itself"; }
# Every stage of the sample vehicle fires on its model drive: nothing to tune, nothing written.
"$run" "$root/camcab-tune.exe" --out "$work/tuned" "$root/sample-vehicle/camcab.dll" \
    "$root/scenarios/drive.txt" >"$work/tune.txt" 2>&1 ||
    { cat "$work/tune.txt"; fail "camcab-tune cannot tune the sample vehicle"; }
grep -q 'no change proposed' "$work/tune.txt" && [ ! -e "$work/tuned" ] ||
    { cat "$work/tune.txt"; fail "camcab-tune proposes changes to the sample vehicle"; }
echo "package: $(basename "$zip") holds what a user needs"
