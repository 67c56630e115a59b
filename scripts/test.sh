#!/usr/bin/env bash
# Sets up, builds both toolchains (Linux native and the Windows cross build) and runs every test:
# the native suite under the sanitizers, the parallel frames under ThreadSanitizer, short fuzzing
# runs, the native suite (the installed tool included), the Debian package installed and removed,
# the README's Slurm recipe on a one-node cluster, then the Windows suite under Wine inside a
# virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

echo "== formatting (clang-format; scripts/format.sh applies it) =="
bash scripts/format.sh --check

status=0
# The instrumented runs come first, so that the script's last words are the Windows suite's summary.
echo "== sanitizer build and tests (ASan + LeakSanitizer + UBSan) =="
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize -j2 || status=1
echo "== ThreadSanitizer: frames in parallel (the tool, the module its workers share, the worker pool) =="
cmake --preset tsan >/dev/null
cmake --build --preset tsan
rm -f build/tsan-report.*
if ! ctest --preset tsan; then
    status=1
    cat build/tsan-report.* 2>/dev/null || true
fi
echo "== fuzz smoke runs (libFuzzer, 30 s a target) =="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
bash fuzz/smoke.sh build/fuzz 30 || status=1

for preset in native windows; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

echo "== native tests =="
ctest --preset native -j2 || status=1
echo "== Debian package: built, installed with apt-get, run from /usr/bin, removed =="
bash scripts/package-stage.sh build/native || status=1
echo "== Slurm: the README's farm recipe on a one-node cluster of the test's own =="
bash scripts/slurm-stage.sh build/native || status=1
echo "== Windows tests (Wine) =="
# -noreset: a server reset signals xvfb-run, which can then lose the status it returns.
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --preset windows || status=1
exit $status
