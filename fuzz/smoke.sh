#!/usr/bin/env bash
# Runs each fuzz target for a short time over its committed seed corpus. New inputs go to a
# scratch folder, so the committed corpus stays as it is; a crash, a broken rule, a leak, a hang
# (an input taking more than 30 s) or memory beyond the target's limit fails the run and leaves
# the input in the scratch folder.
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

# Targets whose inputs are held to a memory budget inside (--max-memory): no single allocation may
# exceed it, and the process stays within its own resident memory under ASan (about 100 MB once
# warm, a quarantine of 16 MB among it) plus the budget, so that an input steering memory past
# its budget is a finding. The others may take 2 GB.
declare -A budget_mb=([fuzz_pipeline]=8 [fuzz_picture]=16)
declare -A rss_mb=([fuzz_pipeline]=256 [fuzz_picture]=256)

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
    memory=(-rss_limit_mb="${rss_mb[$target]:-2048}" -malloc_limit_mb="${budget_mb[$target]:-2048}")
    asan=detect_leaks=1
    [ -n "${budget_mb[$target]:-}" ] && asan+=:quarantine_size_mb=16
    # -max_len: the render target's largest frame (64 x 64 pixels of 7 bytes) must fit.
    if UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=$asan \
        "$build/bin/$target" -max_total_time="$seconds" -timeout=30 "${memory[@]}" \
        -max_len=32768 "${dict[@]}" -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
        "$work/new" "$here/corpus/$target" >"$work/log" 2>&1; then
        grep -E '^Done|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$work/log" || true
    else
        echo "fuzz $target FAILED; input and log in $work:"
        tail -n 40 "$work/log"
        status=1
    fi
done
exit $status
