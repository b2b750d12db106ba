#!/usr/bin/env bash
# Runs a Windows program under Wine with a private 64-bit prefix inside the build tree.
# The prefix is made once (guarded by a lock, since ctest may start several tests at once).
set -u
build_root=${CAMCAB_WINE_ROOT:-$PWD}
while [ "$build_root" != / ] && [ ! -f "$build_root/CMakeCache.txt" ]; do
    build_root=$(dirname "$build_root")
done
[ -f "$build_root/CMakeCache.txt" ] || build_root=${CAMCAB_WINE_ROOT:-$PWD}
export WINEPREFIX=${WINEPREFIX:-$build_root/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# XAudio2 needs an audio device: give it ALSA's null device.
if [ -z "${ALSA_CONFIG_PATH:-}" ]; then
    mkdir -p "$build_root"
    printf 'pcm.!default { type null }\n' > "$build_root/alsa-null.conf"
    export ALSA_CONFIG_PATH=$build_root/alsa-null.conf
fi
unset DISPLAY
(
    flock 9
    if [ ! -f "$WINEPREFIX/.camcab-ready" ]; then
        wineboot -i </dev/null >/dev/null 2>&1 9>&-
        wineserver -w 9>&-
        touch "$WINEPREFIX/.camcab-ready"
    fi
) 9>"$build_root/.wineprefix.lock"
# Keep the server and Wine's own services up between the programs of a test run, started
# with no standard streams of ours: services that inherit a test's output pipes would keep
# the test runner waiting until they exit.
(
    flock 9
    # The lock's descriptor is closed for them too, or the lingering server would hold it.
    wineserver -p30 </dev/null >/dev/null 2>&1 9>&- || true
    wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$build_root/.wineprefix.lock"
exec wine "$@"
