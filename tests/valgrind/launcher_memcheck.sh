#!/usr/bin/env bash
# The Linux launcher's process paths under valgrind's memcheck: a first start
# (setup from the full-size image, the ship models built by the stand-in
# interpreter, the game started), a second start straight to the game, a
# refused image, a missing game, an interactive setup answered "cancel".
# Any memcheck error or leak fails the run.
# Usage: launcher_memcheck.sh BUILD_DIR
set -u
build=${1:?build folder}
work=$(mktemp -d /tmp/hv-memcheck.XXXXXX)
trap 'rm -rf "$work"' EXIT
root="$work/Halvorn Glint"
mkdir -p "$root/bin/python" "$root/tools" "$root/models"
cp "$build/memcheck/play-halvorn-glint" "$root/"
cp "$build/fixtures/hv1-glint.exe" "$root/bin/"
cp "$build/fixtures/python.exe" "$root/bin/python/"
printf 'STEP Building\nPROGRESS 1 2\n#!write models/type00.hvm\nDONE\n' > "$root/tools/install_ships.py"
export HV_STANDIN_RECORD="$work/game.txt"
status=0

# check NAME EXPECTED_EXIT [INPUT] -- ARGS...: one run under memcheck.
check() {
  local name=$1 want=$2 input=$3
  shift 4
  valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect,possible \
    --errors-for-leak-kinds=definite,indirect,possible --log-file="$work/$name.vg" \
    "$root/play-halvorn-glint" "$@" <<<"$input" >"$work/$name.out" 2>&1
  local rc=$?
  if [ "$rc" != "$want" ] || [ -s "$work/$name.vg" ]; then
    echo "FAIL $name: exit $rc (expected $want)"
    cat "$work/$name.vg" "$work/$name.out"
    status=1
  else
    echo "ok   $name: exit $rc, no memcheck error or leak"
  fi
}

check refused 1 "" -- --setup-from "$build/test-images/level1.iso" --no-play
check cancelled 1 "cancel" -- --no-play
check first-start 0 "" -- --setup-from "$build/test-images/full.iso" --ships-yes
[ -f "$root/models/type00.hvm" ] || { echo "FAIL first-start: no model file"; status=1; }
check second-start 0 "" --
rm "$root/bin/hv1-glint.exe"
check missing-game 1 "ok" --
exit $status
