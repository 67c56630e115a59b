#!/usr/bin/env bash
# Writes the pipeline target's seeds: each EXR seed (fuzz/corpus/fuzz_exr, and a small Cryptomatte
# frame of the sample scene) behind each of a few option prefixes, so that fuzzing starts from every
# mode, output kind and range. Run once by hand after the EXR seeds change:
#   fuzz/make_pipeline_seeds.sh BUILD_DIR     (a build with bin/deepglass, e.g. build/native)
set -euo pipefail
build=${1:?usage: fuzz/make_pipeline_seeds.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
out="$here/corpus/fuzz_pipeline"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$build/bin/deepglass" sample --cryptomatte --width 16 --height 12 "$scratch/cryptomatte.exr" >/dev/null
# Inputs kept for what they once found (found-*) stay.
mkdir -p "$out" && find "$out" -type f ! -name 'found-*' -delete
# Option bytes as pipeline_fuzzer.cpp reads them: choice (mode, output kind, a video, --view all, --matte),
# ID, rule (background, range, --range-over selection).
declare -A prefixes=(
    [whole-grey]='\x00\x00\x00'
    [object-rgba8-none]='\x06\x01\x01'
    [material-exr-views-shot]='\x4d\x00\x04'
    [object-matte-fixed-selection]='\x82\x00\x48'
    [whole-mp4-shot]='\x21\x80\x04'
    [object-mkv8-opaque-fixed]='\x2c\x03\x08'
)
for input in "$here"/corpus/fuzz_exr/*.exr "$scratch/cryptomatte.exr"; do
    for name in "${!prefixes[@]}"; do
        { printf "${prefixes[$name]}"; cat "$input"; } >"$out/$(basename "$input" .exr)-$name"
    done
done
echo "wrote $(ls "$out" | wc -l) seeds to $out"
