#!/usr/bin/env bash
# Counts the instructions per pixel of the mapping alone (range pass plus grey pass) at
# 1920 x 1080 with callgrind, in whole-image mode and in the two ID modes, for the variant the
# processor gets and for the SSE2 and plain ones.
#
#   benchmark/count_mapping_instructions.sh [BUILD_DIR]    (default: build/native-release)
#
# The build folder must hold mapping_profile, e.g. from
#   cmake --preset native-release && cmake --build --preset native-release --target mapping_profile
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native-release}
profile="$build/bin/mapping_profile"
if [ ! -x "$profile" ]; then
    echo "no $profile: build the mapping_profile target first" >&2
    exit 1
fi
pixels=$((1920 * 1080))
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

printf '%-9s %-7s %14s %12s\n' mode variant instructions per-pixel
for mode in whole material object; do
    for variant in avx2 sse2 plain; do
        file="$out/$mode.$variant"
        valgrind --tool=callgrind --callgrind-out-file="$file" --toggle-collect='*MeasuredMapping*' \
            "$profile" "$mode" "$variant" > "$out/stdout" 2> "$out/stderr" || {
            cat "$out/stderr" >&2
            exit 1
        }
        name=$(awk '{print $2}' "$out/stdout")
        total=$(awk '/^summary:/ {print $2}' "$file")
        printf '%-9s %-7s %14s %12s\n' "$mode" "$name" "$total" \
            "$(awk -v t="$total" -v p="$pixels" 'BEGIN {printf "%.2f", t / p}')"
    done
done
