#!/usr/bin/env bash
# The host at another DPI and with the plug-in's machine settings: it runs at
# the DPI asked for, the plug-in's windows are laid out at it, the settings
# are where the plug-in reads them, and once the host has gone (even killed)
# the prefix is as it was. Changes the prefix's DPI for a moment: run alone.
set -u
run=$1; bin=$2
dir=$(mktemp -d)
cd "$bin"
fail=0
bad() { echo "$*"; fail=1; }

winlog() { local p=$dir/$1.log; printf 'Z:%s' "${p//\//\\}"; }
# host NAME ARGS...: runs the host with its log in NAME.log; the exit code is in $rc.
host() { local name=$1; shift; "$run" KVHost.exe --log "$(winlog "$name")" "$@" >/dev/null 2>"$dir/$name.err"; rc=$?; }
expect() { grep -Eq "$2" "$dir/$1.log" || bad "$1: missing: $2"; }
# Waits up to 20 s for a line in a running host's log.
await() { local i; for i in $(seq 200); do grep -Eq "$2" "$dir/$1.log" 2>/dev/null && return 0; sleep 0.1; done
          bad "$1: never logged: $2"; return 1; }
# The width of the window the host logged for "open TYPE".
width() { sed -nE "s/^open $2 -> hwnd .* size ([0-9]+)x[0-9]+.*/\1/p" "$dir/$1.log"; }
value() { "$run" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v v="$2" '$1 == v { print $3 }'; }
EDITION='HKLM\Software\Lumora Tech\AL Plugin for Orvex'
GUI='HKLM\Software\Halvex\Audio\GUI_INFORMATION'
# Every value and key the host may touch, as one string.
state() {
  printf 'dpi=%s vendor=%s scaling=%s lumora=%s halvex-audio=%s\n' "$(value 'HKCU\Control Panel\Desktop' LogPixels)" \
    "$(value "$EDITION" VendorID)" "$(value "$GUI" CplScalingFactor)" \
    "$("$run" reg query 'HKLM\Software\Lumora Tech' >/dev/null 2>&1 && echo key)" \
    "$("$run" reg query 'HKLM\Software\Halvex\Audio' >/dev/null 2>&1 && echo key)"
}
before=$(state)
host first --exit

# --- Laid out at 96 and at 120 DPI ---------------------------------------
host base --dpi 96 --open 1 --open 0 --exit
expect base '^dpi 96 -> 96( |$)'
# It waits with its windows open, so that the values can be read while they hold.
host big --dpi 120 --vendor 0x111D --scaling 150 --open 1 --open 0 --wait 5000 --exit &
pid=$!
if await big '^open 0 -> '; then
  [ "$(value "$EDITION" VendorID)" = 0x111d ] || bad "VendorID is not 0x111d while the host runs"
  [ "$(value "$GUI" CplScalingFactor)" = 0x96 ] || bad "CplScalingFactor is not 150 while the host runs"
fi
wait $pid; rc=$?
cat "$dir/base.log" "$dir/big.log"
[ $rc -eq 0 ] || bad "host at 120 DPI exited $rc"
expect big '^dpi 120 -> 120 \(relaunched\)$'
expect big '^revert vendor -> '
expect big '^revert scaling -> '
# Dialog units follow the dialog font, whose pixel sizes round: about 1.25, not exactly.
for type in 0 1; do
  w96=$(width base $type); w120=$(width big $type)
  awk -v a="${w96:-0}" -v b="${w120:-0}" 'BEGIN { exit !(a > 0 && b / a >= 1.10 && b / a <= 1.35) }' ||
    bad "window $type: ${w96:-?} pixels wide at 96 DPI, ${w120:-?} at 120"
done

# --- Everything back as found ------------------------------------------------
[ "$(state)" = "$before" ] || bad "after the host: $(state), before: $before"
host after --exit
[ "$(grep '^dpi' "$dir/after.log")" = "$(grep '^dpi' "$dir/first.log")" ] ||
  bad "a new host no longer starts at the prefix's DPI"
# The parent hands on the child's exit code.
host missing --dpi 120 --plugin 'Z:\no\such\KVEffect.dll' --exit
[ $rc -eq 1 ] || bad "missing plug-in at 120 DPI: want exit 1, got $rc"

# --- A killed host is undone by the next one ---------------------------------
# Started without the helper so that $! is the Wine process itself.
"$run" KVHost.exe --log "$(winlog killed)" --vendor 0x111D --scaling 150 --wait 60000 --exit >/dev/null 2>&1 &
pid=$!
await killed '^scaling 150 -> set'
kill -9 $pid
wait $pid 2>/dev/null
host recover --exit
cat "$dir/recover.log"
expect recover '^revert vendor -> .* \(left by a host that did not exit\)'
[ "$(state)" = "$before" ] || bad "after a killed host: $(state), before: $before"

[ $fail -eq 0 ] || for f in "$dir"/*.err; do [ -s "$f" ] && { echo "--- $(basename "$f")"; cat "$f"; }; done
rm -rf "$dir"
exit $fail
