#!/usr/bin/env bash
# Sets up, builds both toolchains (Linux native and the Windows cross build) and runs every test:
# the native suite, then the Windows suite under Wine inside a virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

status=0
for preset in native windows; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

echo "== native tests =="
ctest --preset native -j2 || status=1
echo "== Windows tests (Wine) =="
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset windows || status=1
exit $status
