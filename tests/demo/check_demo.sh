#!/usr/bin/env bash
# Checks what the main job (scripts/demo.sh, unattended) showed: it ended with
# exit code 0 (its own check that both starts did); the first start installed
# from the image, built the ships and started the game; the second went
# straight to the game, logging nothing. Usage: check_demo.sh OUTPUT_FILE EXIT_CODE
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

# Both starts started the game the same way: --dx12, in data/HV1.
starts=$(section "the game program was started like this:" | sed 's|^cwd=.*/data/HV1$|cwd=data/HV1|')
[ "$starts" = "$(printf 'cwd=data/HV1\nargc=2\narg=--dx12\n%.0s' 1 2)" ] ||
  fail "the game was not started twice with --dx12 in data/HV1: $starts"

if [ ${#problems[@]} -gt 0 ]; then
  printf 'main job check FAILED: %s\n' "${problems[@]}"
  exit 1
fi
echo "main job check passed: both starts exit 0; the first installed 125 files, built the ships and started the game; the second went straight to the game"
