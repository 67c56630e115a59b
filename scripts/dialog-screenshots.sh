#!/usr/bin/env bash
# Screenshots of the module's dialogs as Wine draws them inside a virtual X display:
# out/control-dialog-{whole,material,object}.png and out/about-dialog.png.
#   scripts/dialog-screenshots.sh [build-folder]     (default: build/windows, built if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
# Runs inside the display: each dialog says when it is drawn, is shot, and is told to close.
shoot() {
    local build=$1 output=$2
    shift 2
    coproc SHOT { cd "$build/bin" && exec ../wine-run.sh dialog_screenshot.exe "$@"; }
    local word left top width height
    if ! read -r word left top width height <&"${SHOT[0]}" || [ "$word" != ready ]; then
        echo "dialog_screenshot $*: the dialog did not open" >&2
        return 1
    fi
    height=${height%$'\r'}
    import -window root -crop "${width}x${height}+${left}+${top}" +repage "$output"
    echo done >&"${SHOT[1]}"
    wait "$SHOT_PID"
    echo "wrote $output (${width}x${height})"
}

if [ "${1:-}" = --inside-display ]; then
    build=$2
    # Wine's prefix, with no window manager assumed (none runs under Xvfb). Made inside the
    # display, so that Wine's desktop process, which outlives these commands, has it too.
    "$build/wine-run.sh" wineboot --init
    "$build/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
    # The caption's close box is a glyph of the Marlett font. Debian's Wine never looks in its own
    # font folder (where fonts-wine puts Marlett) for TrueType faces, but it does find the faces in
    # the prefix's Fonts folder; without it the box shows the letter of a fallback font.
    cp /usr/share/wine/fonts/marlett.ttf "$build/wineprefix/drive_c/windows/Fonts/"
    for mode in whole material object; do shoot "$build" "out/control-dialog-$mode.png" control "$mode"; done
    shoot "$build" out/about-dialog.png about
    exit 0
fi

build=${1:-build/windows}
mkdir -p out
cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" --target dialog_screenshot deepglass_module
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" --inside-display "$(realpath "$build")"
