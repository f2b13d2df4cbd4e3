#!/usr/bin/env bash
# KVEffect.dll must drop into a host on Windows: PE32+, exactly the four
# undecorated exports, and no DLL beyond the system's.
set -u
objdump=$1; bin=$2
dll=$bin/KVEffect.dll
out=$("$objdump" -p "$dll") || { echo "cannot read $dll"; exit 1; }
fail=0
grep -q '^Magic[[:space:]]*020b' <<<"$out" || { echo "not PE32+"; fail=1; }

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF} t&&/^$/{t=0}' <<<"$out" | sort | tr '\n' ' ')
want="InitPlugin InitPluginEx RestoreDefault UninitPlugin "
[ "$exports" = "$want" ] || { echo "exports: '$exports', want '$want'"; fail=1; }

imports=$(grep -i 'DLL Name:' <<<"$out" | awk '{print tolower($3)}' | sort -u)
for d in $imports; do
  case $d in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|ole32.dll|oleaut32.dll|comctl32.dll|shell32.dll|shlwapi.dll|msvcrt.dll|uxtheme.dll|kvloadrs.dll|api-ms-win-*) ;;
    *) echo "unexpected import: $d"; fail=1 ;;
  esac
done
echo "imports: $(echo $imports)"
echo "exports: $exports"
exit $fail
