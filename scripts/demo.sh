#!/usr/bin/env bash
# Sets up, builds the Linux tool and module (build/native) and filters the bundled sample frame
# into out/: the frame itself and its three grey depth pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native --target deepglass
build/native/bin/deepglass demo out
