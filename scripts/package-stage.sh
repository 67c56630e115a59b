#!/usr/bin/env bash
# Builds the Debian package from the native build (cpack -G DEB), installs it with apt-get as a user
# would, runs `deepglass demo` from /usr/bin in an empty folder, finds the man page and the
# completion script where man and bash look, imports the Python module in Debian's Python and
# Debian's Blender, and removes the package again, pass or fail.
#   package-stage.sh [BUILD_DIR]   (default build/native, built)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/native}" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=300)

installed() { dpkg-query -W -f='${Status}' deepglass 2>/dev/null | grep -q 'install ok installed'; }
# An installation this stage did not make is left alone: another run of it on this machine is given
# five minutes to remove its own.
for _ in $(seq 300); do
    installed || break
    sleep 1
done
installed && fail "a deepglass package is installed already; this stage installs and removes its own"

rm -f "$build"/deepglass_*.deb
(cd "$build" && cpack -G DEB) >"$build/cpack.log" 2>&1 || { cat "$build/cpack.log"; fail "cpack -G DEB"; }
deb=$(echo "$build"/deepglass_*.deb)
[ -f "$deb" ] || fail "cpack made no deepglass_*.deb"
echo "package: ${deb#"$build"/}, Depends: $(dpkg-deb -f "$deb" Depends)"

work=$(mktemp -d)
cleanup() {
    installed && "${apt[@]}" purge deepglass >/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
"${apt[@]}" install "$deb" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "apt-get install $deb"; }
[ "$(command -v deepglass)" = /usr/bin/deepglass ] || fail "deepglass is not /usr/bin/deepglass"
(cd "$work" && env -u DEEPGLASS_MODULE /usr/bin/deepglass demo >demo.log 2>&1) ||
    { cat "$work/demo.log"; fail "deepglass demo from /usr/bin"; }
for picture in sample.exr whole.png material-2.png object-3.png; do
    [ -s "$work/out/$picture" ] || fail "deepglass demo wrote no out/$picture"
done
(cd "$work" && /usr/bin/deepglass apply out/sample.exr -o shot.mp4 >video.log 2>&1) ||
    { cat "$work/video.log"; fail "deepglass apply -o shot.mp4 from /usr/bin"; }
[[ $(dpkg-deb -f "$deb" Depends) == *libavcodec* ]] || fail "the package does not depend on FFmpeg's libraries"
[ "$(man -w deepglass)" = /usr/share/man/man1/deepglass.1 ] || fail "man finds no deepglass page"
# Debian's Python and Debian's Blender (which runs it) import the module with no PYTHONPATH.
(cd "$work" && env -u PYTHONPATH -u DEEPGLASS_MODULE /usr/bin/python3 -c "import deepglass, numpy
deepglass.filter(numpy.ones((4, 4), numpy.float32)).save('python.png')") || fail "import deepglass in /usr/bin/python3"
[ -s "$work/python.png" ] || fail "deepglass.filter from /usr/bin/python3 wrote no picture"
imported=$(cd "$work" && env -u PYTHONPATH blender -b --factory-startup --python-expr \
    "import deepglass; print('channels', sorted(deepglass.channels_required(mode='object')))" 2>&1) ||
    fail "blender: $imported"
[[ $imported == *"channels ['depth', 'object_id']"* ]] || fail "Debian's Blender does not import deepglass: $imported"
[ -f /usr/share/bash-completion/completions/deepglass ] || fail "no bash completion for deepglass"

"${apt[@]}" purge deepglass >/dev/null || fail "apt-get purge deepglass"
installed && fail "deepglass is still installed"
for left in /usr/bin/deepglass /usr/lib/deepglass /usr/share/man/man1/deepglass.1 /usr/lib/python3/dist-packages/deepglass; do
    [ ! -e "$left" ] || fail "$left is left after removal"
done
echo "package: installed, ran deepglass demo from /usr/bin, removed"
