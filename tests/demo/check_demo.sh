#!/usr/bin/env bash
# Checks what the main job (scripts/demo.sh, unattended) showed: both starts
# ended with exit code 0; the first installed from the image, built the
# ships and started the game; the second went straight to the game, logging
# nothing. Usage: check_demo.sh OUTPUT_FILE EXIT_CODE
set -u
out=$1
code=$2
problems=()
fail() { problems+=("$*"); }

[ "$code" = 0 ] || fail "the main job ended with exit code $code"
text=$(tr -d '\r' < "$out")
section() {  # the lines after "== $1" up to the next "== " line
  printf '%s\n' "$text" | awk -v head="== $1" '$0 == head { on = 1; next } /^== / { on = 0 } on'
}
[ "$(section "first start" | tail -n 1)" = "exit code 0" ] || fail "the first start did not end with exit code 0"
[ "$(section "second start" | tail -n 1)" = "exit code 0" ] || fail "the second start did not end with exit code 0"

log=$(section "setup.log")
[ "$(printf '%s\n' "$log" | grep -c '^setup: data in ')" = 1 ] ||
  fail "setup.log should hold one \"setup: data in\" line (the first start's)"
printf '%s\n' "$log" | grep -Eq '^installed 125 files from .+ into .+: done$' ||
  fail "no \"installed 125 files ... done\" line"
printf '%s\n' "$log" | grep -qx 'setup done' || fail "no \"setup done\" line"
printf '%s\n' "$log" | grep -qx 'ships: DONE' || fail "the ship setup printed no DONE"
# The second start logs nothing: the first start's last line ends the log.
[ "$(printf '%s\n' "$log" | sed '/^$/d' | tail -n 1)" = "ships: installed" ] ||
  fail "setup.log does not end with \"ships: installed\" (the second start logged something)"

starts=$(section "the game program was started like this:")
[ "$(printf '%s\n' "$starts" | grep -c '^argc=2$')" = 2 ] || fail "the game was not started twice with one argument"
[ "$(printf '%s\n' "$starts" | grep -c '^arg=--dx12$')" = 2 ] || fail "the game was not started twice with --dx12"
[ "$(printf '%s\n' "$starts" | grep -Ec '^cwd=.*/data/HV1$')" = 2 ] ||
  fail "the game did not start in data/HV1 both times"

if [ ${#problems[@]} -gt 0 ]; then
  printf 'main job check FAILED: %s\n' "${problems[@]}"
  exit 1
fi
echo "main job check passed: both starts exit 0; the first installed 125 files, built the ships and started the game; the second went straight to the game"
