#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with, where they are missing.
# Creates nothing else outside the project's build folder.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang clang-format libclang-rt-14-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev valgrind
    g++-mingw-w64-x86-64 wine wine64 fonts-wine xvfb xauth llvm-14
    libopenexr-dev libpng-dev libopencolorio-dev imagemagick nlohmann-json3-dev libcairo2-dev pkg-config
    dpkg-dev man-db groff-base jq slurm-wlm munge libdeflate-dev libimage-exiftool-perl
    pybind11-dev python3-dev python3-numpy python3-pytest python3-openimageio blender libxtst6
    ffmpeg libavformat-dev libavcodec-dev libavutil-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
