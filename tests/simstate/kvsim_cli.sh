#!/usr/bin/env bash
# kvsim.exe as a user runs it: exit codes, messages on stderr, the state left
# alone after bad input, and UTF-8 text through a pipe.
set -u
run=$1; bin=$2
export KVSIM_INSTANCE=kvsim_cli
cd "$bin"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }
fail=0
bad() { echo "FAIL: $*"; fail=1; }

# kv ARGS: stdout in $tmp/out, stderr in $tmp/err, status in $rc.
kv() { "$run" kvsim.exe "$@" >"$tmp/out" 2>"$tmp/err" </dev/null; rc=$?; }
# expect STATUS PATTERN-ON-STDERR ARGS...
expect() {
  local want=$1 pattern=$2; shift 2
  kv "$@"
  [ "$rc" -eq "$want" ] || bad "kvsim $*: exit $rc, want $want ($(cat "$tmp/err"))"
  [ -z "$pattern" ] || grep -q -- "$pattern" "$tmp/err" || bad "kvsim $*: stderr lacks '$pattern': $(cat "$tmp/err")"
}
# stdout_has PATTERN: the last command's output
stdout_has() { grep -q -- "$1" "$tmp/out" || bad "output lacks '$1'"; }
# show NAME: the settings, without the comments that change with every load; faults kept.
show() { kv show; grep -v '^ *#' "$tmp/out" >"$tmp/$1"; grep '^# fault' "$tmp/out" >>"$tmp/$1"; }

expect 0 "" reset
expect 0 "" help
stdout_has "usage: kvsim COMMAND"
stdout_has "instance is kvsim_cli"
show before

# Bad input of every kind: a clear message, a non-zero exit, nothing changed.
printf 'mode endpoint\nendpoint a render\n  loudness enabled=1\n' >"$tmp/bad.kvtopo"
expect 2 "no command given"
expect 2 "unknown command 'frob'" frob
expect 1 "cannot open" load "$(winpath "$tmp/absent.kvtopo")"
expect 1 "line 3: unknown keyword 'loudness'" load "$(winpath "$tmp/bad.kvtopo")"
expect 1 "no endpoint or device 'nobody' (there are: speakers microphone)" set nobody eq.band.0 1
expect 1 "not a number" set speakers eq.band.0 loud
expect 1 "outside -12..12" set speakers eq.band.0 13
expect 1 "unknown setting" set speakers eq.loudness 1
expect 2 "unexpected 'extra'" set speakers eq.band.0 1 extra
expect 2 "missing a value" set speakers eq.band.0
expect 2 "'six' is not a number" fail ISNDIEQ six E_FAIL
expect 2 "neither a status number nor a name" fail ISNDIEQ 6 E_WHATEVER
expect 2 "unknown interface 'ISNDIEQX'" fail ISNDIEQX 6 E_FAIL
expect 2 "--count takes" fail ISNDIEQ 6 E_FAIL --count 0
expect 1 "no endpoint or device 'nobody'" fail ISNDIEQ 6 E_FAIL --node nobody
expect 2 "mode is endpoint, device or none" mode sideways
expect 1 "no endpoint or device" plug nobody
expect 2 "on or off" quirk speakers full-keys maybe
expect 1 "unknown quirk" quirk speakers wobbly on
expect 2 "is not a number" events --follow soon
expect 2 "vendor is 0x10EC or 0x111D" alcoexist 3 Other --vendor 0x1234
show after
cmp -s "$tmp/before" "$tmp/after" || { bad "the state changed after bad input"; diff "$tmp/before" "$tmp/after"; }

# Good input: endpoint ids and aliases both work, events tell what happened.
expect 0 "" set speakers eq.band.3 4.5
expect 0 "" get '{0.0.0.00000000}.{360C911C-54C2-4BC6-A32E-050B41DC8739}' eq.band.3
[ "$(cat "$tmp/out")" = "4.5" ] || bad "get by id: '$(cat "$tmp/out")'"
expect 0 "" audep-msg 5
expect 0 "" events
stdout_has " speakers EQ sub 0 event 0x810 hint 0xC0000001 arg 3$"
stdout_has " - Topology sub 0 event 0x845 hint 0x9 arg 5$"
expect 0 "" fail ISNDIEQ 6 E_FAIL --node speakers --count 2
expect 0 "" show
stdout_has "^# fault ISNDIEQ slot 6 node speakers -> 0x80004005, 2 more$"
expect 0 "" clear-faults
expect 0 "" show
grep -q "^# fault" "$tmp/out" && bad "clear-faults left a fault"

# Following: an event posted while it listens is printed once.
"$run" kvsim.exe events --follow 6000 >"$tmp/follow" 2>&1 </dev/null &
follower=$!
sleep 2
expect 0 "" set speakers upmix.element.1.mode 4
wait $follower || bad "events --follow exited $?"
[ "$(grep -c ' speakers Element sub 1 event 0x818 hint 0x5 arg 4$' "$tmp/follow")" = 1 ] ||
  { bad "events --follow did not print the mode change once"; cat "$tmp/follow"; }

# UTF-8 through the pipe, and a dump that loads back to the same settings.
printf 'mode device\ndevice d\n  name "Lautsprecher Gr\xc3\xb6\xc3\x9fe"\n' >"$tmp/utf8.kvtopo"
expect 0 "" load "$(winpath "$tmp/utf8.kvtopo")"
expect 0 "" show
grep -q 'name "Lautsprecher Größe"' "$tmp/out" || bad "show did not print UTF-8: $(grep name "$tmp/out")"
expect 0 "" load-default
expect 0 "" set speakers eqpresets.active eq-rock
show dumped
cp "$tmp/out" "$tmp/dump.kvtopo"
expect 0 "" reset --empty
expect 0 "" load "$(winpath "$tmp/dump.kvtopo")"
show reloaded
cmp -s "$tmp/dumped" "$tmp/reloaded" || { bad "show | load changed the state"; diff "$tmp/dumped" "$tmp/reloaded"; }

# Bare names come from the topologies folder beside the tool.
expect 0 "" load headphones.kvtopo
expect 0 "" get headset-mic state
[ "$(cat "$tmp/out")" = "unplugged" ] || bad "headset-mic: '$(cat "$tmp/out")'"
expect 0 "" plug headset-mic
expect 0 "" get headset-mic state
[ "$(cat "$tmp/out")" = "active" ] || bad "plug: '$(cat "$tmp/out")'"

# Another suite's mark in the registry, in the 64-bit view.
regq() { "$run" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r'; }
expect 0 "" alcoexist 3 "Other Suite"
regq 'HKLM\Software\Halvex\ALCoexist' TechnologyName | grep -q "Other Suite" || bad "alcoexist: no TechnologyName"
regq 'HKLM\Software\Halvex\ALCoexist' Technology | grep -q "0x3" || bad "alcoexist: no Technology"
expect 0 "" alcoexist 7 Lumo --vendor 0x111D
regq 'HKLM\Software\Lumora Tech\ALCoexist' TechnologyName | grep -q "Lumo" || bad "alcoexist 0x111D: no TechnologyName"
expect 0 "" alcoexist --remove
expect 0 "" alcoexist --remove --vendor 0x111D
regq 'HKLM\Software\Halvex\ALCoexist' TechnologyName | grep -q "Other" && bad "alcoexist --remove left the value"

expect 0 "" reset
[ $fail -eq 0 ] && echo "kvsim_cli: all checks passed"
exit $fail
