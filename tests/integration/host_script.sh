#!/usr/bin/env bash
# The stand-in host runs a script against the real plug-in and logs each step.
set -u
run=$1; bin=$2
log=$(mktemp -d)/host.log
cd "$bin"
"$run" KVHost.exe --log "Z:${log//\//\\}" --open 0@10,20,300,80 --open 1 --wait 200 --reopen 1 \
  --restore 0x10 --close 1 --close 0 --open 1 --exit >/dev/null
rc=$?
cat "$log"
fail=0
[ $rc -eq 0 ] || { echo "host exited $rc"; fail=1; }
expect() { grep -Eq "$1" "$log" || { echo "missing: $1"; fail=1; }; }
expect '^load .*KVEffect\.dll -> ok'
expect '^open 0@10,20,300,80 -> hwnd 0x[0-9a-f]+ at 10,18 '
expect '^open 1 -> hwnd 0x[0-9a-f]+ at '
expect '^reopen 1 -> hwnd 0x[0-9a-f]+ '
expect '^restore 0x10 -> done'
expect '^close 1 -> destroyed 0x'
expect '^close 0 -> destroyed 0x'
expect '^unload -> ok'
# A plug-in that is not there is reported, not crashed on.
"$run" KVHost.exe --plugin Z:\\no\\such\\KVEffect.dll --exit >/dev/null 2>&1
[ $? -eq 1 ] || { echo "missing plug-in: want exit 1"; fail=1; }
# Malformed options are refused before the host changes anything.
for bad in "--bogus" "--dpi 20" "--dpi" "--vendor 0x10000" "--scaling 0"; do
  "$run" KVHost.exe --exit $bad >/dev/null 2>&1
  [ $? -eq 2 ] || { echo "$bad: want exit 2"; fail=1; }
done
exit $fail
