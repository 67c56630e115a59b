#!/usr/bin/env bash
# The installed deepglass, as a user meets it: installed from the build folder under a prefix and
# again through DESTDIR, it runs its demo with no options (the module found from its own location),
# DEEPGLASS_MODULE and --module override that in order, videos are written and read, the Python
# module imports and finds the module and the video library from its own location, man shows the
# page with every option the help lists, and bash completes commands, options and their fixed values.
#   installed_tool_test.sh BUILD_DIR
set -euo pipefail
build=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DEEPGLASS_MODULE

cmake --install "$build" --prefix "$work/prefix" >/dev/null
DESTDIR="$work/dest" cmake --install "$build" --prefix /opt/deepglass >/dev/null

for root in "$work/prefix" "$work/dest/opt/deepglass"; do
    tool=$root/bin/deepglass
    mkdir "$work/run" && cd "$work/run"
    "$tool" demo >demo.log 2>&1 || { cat demo.log; fail "$tool demo"; }
    for picture in sample.exr whole.png material-2.png object-3.png; do
        [ -s "out/$picture" ] || fail "$tool demo wrote no out/$picture"
    done
    # Videos through the video library, loaded from the module's folder.
    "$tool" apply out/sample.exr -o shot.mkv >video.log 2>&1 || { cat video.log; fail "$tool apply -o shot.mkv"; }
    facts=$("$tool" info shot.mkv) || fail "$tool info shot.mkv: $facts"
    [[ $facts == *"FFV1 (lossless)"* ]] || fail "$tool info shot.mkv: $facts"
    version=$("$tool" --version) || fail "$tool --version: $version"
    [[ $version == *"module $root/lib/deepglass/KELDA.FLT: Deepglass"* ]] || fail "$tool --version: $version"
    # The environment variable comes before the installed module, --module before both.
    if version=$(DEEPGLASS_MODULE=$work/none.flt "$tool" --version); then fail "a missing \$DEEPGLASS_MODULE loaded"; fi
    [[ $version == *"cannot load module $work/none.flt"* ]] || fail "\$DEEPGLASS_MODULE not taken: $version"
    DEEPGLASS_MODULE=$work/none.flt "$tool" --version --module "$root/lib/deepglass/KELDA.FLT" >/dev/null ||
        fail "--module does not come before \$DEEPGLASS_MODULE"
    # The Python module, from the PYTHONPATH the README gives, finds the installed module too.
    filtered=$(PYTHONPATH=$root/lib/python3/dist-packages /usr/bin/python3 -c "import deepglass, os
deepglass.apply(['out/sample.exr'], 'python.mkv')
print(deepglass.__file__, deepglass.channels_required(mode='object') == {'depth', 'object_id'},
      os.path.getsize('python.mkv') > 0)") ||
        fail "import deepglass from $root: $filtered"
    [[ $filtered == "$root/lib/python3/dist-packages/deepglass/__init__.py True True" ]] || fail "deepglass: $filtered"
    cd "$work" && rm -rf "$work/run"
done

tool=$work/prefix/bin/deepglass
page=$work/prefix/share/man/man1/deepglass.1
warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1) || fail "groff: $warnings"
[ -z "$warnings" ] || fail "groff warns: $warnings"
shown=$(MANWIDTH=100 man -l "$page" 2>&1) || fail "man -l: $shown"
[[ $shown == *"DEEPGLASS(1)"* ]] || fail "man -l shows no DEEPGLASS(1) page"
commands=(apply info sample demo)
# The options a command's help lists: in its usage line and on its option rows.
help_options() {
    "$tool" "$1" --help | grep -E '^(Usage:|  --?[a-z])' | grep -oE -- '(^|[ [])--?[a-z][a-z-]*' | tr -d ' [' |
        sort -u
}
for command in "${commands[@]}"; do
    for option in $(help_options "$command"); do
        [[ $shown == *"$option"* ]] || fail "the man page lacks $command's $option"
    done
done

# Completion as bash runs it: COMP_WORDS as bash splits the line (--option=value in three words).
# shellcheck disable=SC1091
source "$work/prefix/share/bash-completion/completions/deepglass"
completes() {
    local expected=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _deepglass
    [ "${COMPREPLY[*]}" = "$expected" ] || fail "completing '$*' gave '${COMPREPLY[*]}', not '$expected'"
}
completes "apply" deepglass ap
completes "--range --range-over" deepglass apply --ran
completes "whole material object" deepglass apply --mode ""
completes "exr" deepglass apply --format = e
completes "auto none alpha" deepglass info --background ""
completes "shot" deepglass info --frames 1-4 --range s
completes "demo" deepglass help dem
completes "far empty" deepglass depth --level-zero ""
completes "depth" deepglass help dep
completes "" deepglass apply -j ""
mkdir "$work/shot" && touch "$work/shot/a.exr" "$work/shot/b.png"
completes "$work/shot/a.exr" deepglass apply -o out.png "$work/shot/"
for command in "${commands[@]}"; do
    COMP_WORDS=(deepglass "$command" -)
    COMP_CWORD=2
    _deepglass
    for option in $(help_options "$command"); do
        [[ " ${COMPREPLY[*]} " == *" $option "* ]] || fail "completion lacks $command's $option"
    done
done
echo "installed tool: demo, module lookup, man page and completion as expected"
