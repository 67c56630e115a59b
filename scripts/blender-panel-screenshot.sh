#!/usr/bin/env bash
# The Blender add-on's panel as a user sees it: Debian's Blender with its window under Xvfb, the
# add-on installed from the build's zip into a fresh user folder, the render properties showing
# the Deepglass panel; writes out/blender-panel.png, the README's docs/blender-panel.png.
#   blender-panel-screenshot.sh [BUILD_DIR]   (default build/native, built)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/native}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export BLENDER_USER_CONFIG=$work/config BLENDER_USER_SCRIPTS=$work/scripts
blender -b --python-expr "import bpy; bpy.ops.preferences.addon_install(filepath='$build/deepglass_blender.zip'); \
bpy.ops.preferences.addon_enable(module='deepglass_blender'); \
bpy.context.preferences.view.show_splash = False; bpy.ops.wm.save_userpref()" >/dev/null
mkdir -p out
xvfb-run -a -s "-screen 0 1000x1400x24 -noreset" blender --window-geometry 0 0 1000 1400 \
    --python tests/blender/panel_screenshot.py -- "$PWD/out/blender-panel.png" >"$work/blender.log" 2>&1 ||
    { cat "$work/blender.log"; exit 1; }
[ -s out/blender-panel.png ] || { cat "$work/blender.log"; echo "no out/blender-panel.png" >&2; exit 1; }
# The panel and its neighbours, where Blender 3.4's render properties place it in this window.
convert out/blender-panel.png -crop 826x240+0+695 +repage out/blender-panel.png
echo "wrote out/blender-panel.png"
