#!/usr/bin/env bash
# Runs each fuzz target for a short time over its committed seed corpus. New inputs go to a
# scratch folder, so the committed corpus stays as it is; a crash, a broken rule, a leak or a hang
# (an input taking more than 30 s) fails the run and leaves the input in the scratch folder.
#   fuzz/smoke.sh BUILD_DIR [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
build=${1:?usage: fuzz/smoke.sh BUILD_DIR [SECONDS_PER_TARGET] [TARGET...]}
seconds=${2:-30}
shift $(( $# >= 2 ? 2 : 1 ))
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for folder in "$here"/corpus/*/; do
        name=$(basename "$folder")
        [ -x "$build/bin/$name" ] && targets+=("$name")
    done
fi

scratch="$build/fuzz-smoke"
mkdir -p "$scratch"
status=0
for target in "${targets[@]}"; do
    work="$scratch/$target"
    rm -rf "$work" && mkdir -p "$work/new" "$work/artifacts"
    echo "== fuzz $target for ${seconds}s =="
    # A target's dictionary of the words of its input format, where it has one.
    dict=()
    [ -f "$here/$target.dict" ] && dict=(-dict="$here/$target.dict")
    # -max_len: the render target's largest frame (64 x 64 pixels of 7 bytes) must fit.
    if UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
        "$build/bin/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
        -max_len=32768 "${dict[@]}" -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
        "$work/new" "$here/corpus/$target" >"$work/log" 2>&1; then
        grep -E '^Done|^stat::(number_of_executed_units|average_exec_per_sec)' "$work/log" || true
    else
        echo "fuzz $target FAILED; input and log in $work:"
        tail -n 40 "$work/log"
        status=1
    fi
done
exit $status
