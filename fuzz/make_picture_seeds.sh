#!/usr/bin/env bash
# Writes the picture target's seeds: the tool's own outputs of every kind (PNG grey and RGBA, 16
# and 8 bits, kept colour opaque or not, the inverse curve, a scale no depth took part in, a
# chart without a depth mapping; an EXR output with its mapping in its header, and a depth frame
# read back, which info reads as EXR files), each small, behind an option byte as
# picture_fuzzer.cpp reads it (bits 0-1: the picture's mapping or one given on the command line;
# bit 2: --level-zero empty).
# Run once by hand after the outputs change:
#   fuzz/make_picture_seeds.sh BUILD_DIR     (a build with bin/deepglass, e.g. build/native)
set -euo pipefail
build=${1:?usage: fuzz/make_picture_seeds.sh BUILD_DIR}
tool="$build/bin/deepglass"
here=$(cd "$(dirname "$0")" && pwd)
out="$here/corpus/fuzz_picture"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$tool" sample --width 16 --height 12 "$scratch/frame.exr" >/dev/null
"$tool" sample --width 24 --height 16 "$scratch/chart.exr" >/dev/null
declare -A kinds=(
    [grey16]='\x00|'
    [grey8]='\x01|--bits 8'
    [material-rgba16]='\x04|--mode material --id 2'
    [object-rgba8-opaque]='\x02|--mode object --id 3 --bits 8 --opaque'
    [inverse-clipped]='\x03|--curve inverse --clip 1:99'
    [no-scale]='\x05|--mode object --id 999 --range-over selection'
    [object-srgb]='\x06|--mode object --id 1 --colour srgb --png rgba'
)
rm -rf "$out" && mkdir -p "$out"
for name in "${!kinds[@]}"; do
    IFS='|' read -r prefix options <<<"${kinds[$name]}"
    # shellcheck disable=SC2086 # the options are words
    "$tool" apply $options "$scratch/frame.exr" -o "$scratch/$name.png" >/dev/null 2>&1
    { printf "$prefix"; cat "$scratch/$name.png"; } >"$out/$name"
done
"$tool" info --plot "$scratch/chart.png" "$scratch/chart.exr" >/dev/null
{ printf '\x01'; cat "$scratch/chart.png"; } >"$out/chart-without-mapping"
"$tool" apply --mode material --id 2 "$scratch/frame.exr" -o "$scratch/filtered.exr" >/dev/null 2>&1
{ printf '\x00'; cat "$scratch/filtered.exr"; } >"$out/exr-output"
"$tool" depth "$scratch/grey16.png" -o "$scratch/depth.exr" >/dev/null
{ printf '\x00'; cat "$scratch/depth.exr"; } >"$out/depth-read-back"
echo "wrote $(ls "$out" | wc -l) seeds to $out"
ls -l "$out"
