#!/usr/bin/env bash
# Checks a built plug-in's tables: it exports exactly the sixteen names of the host interface,
# and a DLL imports only Windows system DLLs.
set -euo pipefail
binary=$1
expected="Dispose DoorClose DoorOpen Elapse GetPluginVersion HornBlow Initialize KeyDown KeyUp Load SetBeaconData SetBrake SetPower SetReverser SetSignal SetVehicleSpec"
case "$binary" in
*.dll)
    dump=$(x86_64-w64-mingw32-objdump -p "$binary")
    exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s+\[' | awk '{print $NF}' | sort | xargs)
    imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ {print tolower($3)}' | sort -u | xargs)
    echo "imports: $imports"
    for dll in $imports; do
        case "$dll" in
        kernel32.dll | user32.dll | msvcrt.dll | ole32.dll | advapi32.dll | shell32.dll | api-ms-win-*.dll) ;;
        *) echo "imports a non-system DLL: $dll"; exit 1 ;;
        esac
    done
    ;;
*)
    exports=$(nm -D --defined-only "$binary" | awk '{print $3}' | sort | xargs)
    ;;
esac
echo "exports: $exports"
if [ "$exports" != "$expected" ]; then
    echo "expected exactly: $expected"
    exit 1
fi
