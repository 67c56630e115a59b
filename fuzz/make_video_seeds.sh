#!/usr/bin/env bash
# Writes the video target's seeds: small videos apply writes (FFV1 grey of 16 and 8 bits, RGBA of an
# ID mode, H.264), each behind the option byte video_fuzzer.cpp reads (bit 0: .mp4; bit 1: --range
# and --curve given; bit 3: --level-zero empty). Run once by hand when the videos change:
#   fuzz/make_video_seeds.sh BUILD_DIR     (a build with bin/deepglass, e.g. build/native)
set -euo pipefail
build=${1:?usage: fuzz/make_video_seeds.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
out="$here/corpus/fuzz_video"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
tool="$build/bin/deepglass"
for frame in 1 2; do "$tool" sample --width 16 --height 8 "$scratch/s.$frame.exr" >/dev/null; done
make() { "$tool" apply --frames 1-2 "$scratch/s.%d.exr" -o "$scratch/$1" "${@:2}" >/dev/null 2>&1; }
make grey16.mkv
make grey8.mkv --bits 8
make rgba16.mkv --mode object --id 3
make whole.mp4
rm -rf "$out" && mkdir -p "$out"
{ printf '\x00'; cat "$scratch/grey16.mkv"; } >"$out/grey16-mkv"
{ printf '\x0a'; cat "$scratch/grey16.mkv"; } >"$out/grey16-mkv-range-empty"
{ printf '\x00'; cat "$scratch/grey8.mkv"; } >"$out/grey8-mkv"
{ printf '\x00'; cat "$scratch/rgba16.mkv"; } >"$out/rgba16-mkv"
{ printf '\x01'; cat "$scratch/whole.mp4"; } >"$out/whole-mp4"
{ printf '\x07'; cat "$scratch/whole.mp4"; } >"$out/whole-mp4-inverse"
echo "wrote $(ls "$out" | wc -l) seeds to $out"
