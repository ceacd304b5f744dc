#!/usr/bin/env bash
# Checks what the main job (scripts/demo.sh, unattended) showed: it ended with
# exit code 0 (its own check that both starts did); the first start installed
# from the image, built the ships and started the game; the second went
# straight to the game, logging nothing. Usage: check_demo.sh OUTPUT_FILE EXIT_CODE
fail() {
  printf 'main job check FAILED: %s\n' "$*"
  exit 1
}
[ "$2" = 0 ] || fail "the main job ended with exit code $2"
text=$(tr -d '\r' < "$1")

# The log (the last section), in order: one start's setup (its data folder,
# 125 files copied), the ship setup's lines up to its DONE; the second start
# logs nothing, so the first start's last line ends the log.
log=$(sed '1,/^== setup\.log$/d; /^$/d' <<<"$text" | tr '\n' '\t')
want='^setup: data in [^\t]+\tinstalled 125 files from .+ into [^\t]+: done\tsetup done\t'
want+='(ships: [^\t]*\t)*ships: DONE\tships: installed\t$'
grep -Pq "$want" <<<"$log" ||
  fail "setup.log is not one unattended first start's, the ships built: $log"

# Both starts started the game the same way: --dx12, in data/HV1.
starts=$(sed -n '/^== the game/,/^== /{/^== /d; s|^cwd=.*/data/HV1$|cwd=data/HV1|; p}' <<<"$text")
[ "$starts" = "$(printf 'cwd=data/HV1\nargc=2\narg=--dx12\n%.0s' 1 2)" ] ||
  fail "the game was not started twice with --dx12 in data/HV1: $starts"
echo "main job check passed: both starts exit 0; the first installed and built the ships"
