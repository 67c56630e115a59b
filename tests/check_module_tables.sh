#!/usr/bin/env bash
# Checks the built module file itself: its name, exactly the four exports (with ordinals 1 to 4 on
# Windows) and the libraries it imports from.
#   check_module_tables.sh pe|elf MODULE OBJDUMP
set -euo pipefail
kind=$1 module=$2 objdump=${3:-objdump}
fail() { echo "FAIL: $*" >&2; exit 1; }

expected_exports=$'LibDescription 1\nLibNumberClasses 2\nLibClassDesc 3\nLibVersion 4'
if [ "$kind" = pe ]; then
    tables=$("$objdump" -p "$module")
    grep -Eq '^Name[[:space:]]+[0-9a-f]+ KELDA\.FLT$' <<<"$tables" || fail "export table is not named KELDA.FLT"
    grep -Eq '^Ordinal Base[[:space:]]+1$' <<<"$tables" || fail "ordinal base is not 1"
    # "[   i] Name" rows of the ordinal/name table: ordinal = base + i.
    exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$tables" |
              sed -nE 's/^[[:space:]]*\[[[:space:]]*([0-9]+)\] (.*)$/\2 \1/p' |
              awk '{print $1, $2 + 1}' | sort -k2n)
    [ "$exports" = "$expected_exports" ] || fail "exports are"$'\n'"$exports"
    imports=$(sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p' <<<"$tables" | sort)
    for needed in bmm.dll flt.dll core.dll COMCTL32.dll; do
        grep -qx "$needed" <<<"$imports" || fail "does not import from $needed"
    done
    # GDI32 for the one DeleteObject with which the About box frees its logo.
    allowed='^(bmm|flt|core)\.dll$|^(COMCTL32|USER32|GDI32|KERNEL32|msvcrt)\.dll$|^api-ms-win-crt-.*\.dll$'
    others=$(grep -Ev "$allowed" <<<"$imports" || true)
    [ -z "$others" ] || fail "imports from unexpected libraries: $others"
else
    exports=$(nm -D --defined-only "$module" | awk '{print $3}' | sort)
    [ "$exports" = "$(printf 'LibClassDesc\nLibDescription\nLibNumberClasses\nLibVersion')" ] ||
        fail "exports are"$'\n'"$exports"
    needed=$(readelf -d "$module" | sed -nE 's/.*\(NEEDED\).*\[(.*)\]/\1/p')
    for library in bmm.so flt.so core.so; do
        grep -qx "$library" <<<"$needed" || fail "does not need $library"
    done
fi
echo "module tables as expected:"
echo "$exports"
