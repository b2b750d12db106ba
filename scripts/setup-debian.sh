#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing camcab need, when any
# is missing. Run as root (or with sudo available).
set -euo pipefail

packages=(
    cmake ninja-build g++ make pkg-config
    googletest libbenchmark-dev
    libfaudio-dev libsndfile1-dev libsdl2-dev
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
    wine wine64 gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    clang libclang-rt-14-dev llvm clang-format
    libjs-dygraphs sox libsox-fmt-base chromium python3 unzip
)
if [ "${1:-}" = "--runtime-only" ]; then
    packages=(cmake ninja-build g++ make pkg-config googletest libbenchmark-dev libfaudio-dev libsndfile1-dev libsdl2-dev
        libjs-dygraphs sox libsox-fmt-base)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
