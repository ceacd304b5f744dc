#!/usr/bin/env bash
# The Linux launcher on a PC that gets in the way, for real: the launcher
# killed part-way through a copy, two launchers at once. Each start must tell
# the truth, and a half install must never be taken for an installed one.
# (A folder it can't write and a disk too small are install_test's, given
# those answers by a stand-in platform; a real permission denial, under Wine,
# is tests/gui/folder_not_writable.sh's.)
# Usage: pc_in_the_way.sh BUILD_DIR
build=${1:?the Linux build folder}
image=$build/test-images/full.iso
work=$(mktemp -d /tmp/hv-pc.XXXXXX)
# (A launcher stopped part-way is killed, or it would hold the output open.)
trap 'kill -KILL ${pid:-} 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A release folder with the launcher and the stand-in game, no data.
r="$work/Halvorn Glint"  # a path with a space, as players have it
mkdir -p "$r/bin" "$r/models"
cp "$build/play-halvorn-glint" "$r/"
cp "$build/fixtures/hv1-glint.exe" "$r/bin/"
# One start that is given the image if it asks; $out holds what it showed
# (boxes on stderr), $rc its exit code.
start() {
  out=$(printf 'o\n%s\n' "$image" | "$r/play-halvorn-glint" --no-play 2>&1)
  rc=$?
}

# Killed part-way: run in slices of a few milliseconds, stopped in between
# (so that a busy machine cannot let the copy run past the point), killed
# once it has written N files; the next start counts the data as installed
# only when it is whole, and otherwise runs setup by itself. While it is
# stopped, it holds the folder as a start waiting at a question does.
for n in 5 40 110 123; do
  rm -rf "$r/data"
  "$r/play-halvorn-glint" --no-play --setup-from "$image" 2>/dev/null &
  pid=$!
  while kill -STOP "$pid" && [ "$(find "$r/data" -type f 2>/dev/null | wc -l)" -le "$n" ]; do
    kill -CONT "$pid"
    read -r -t 0.002 < /dev/zero  # a builtin: no process started while it runs
  done
  [ -e "$r/data/HV1/setup-not-finished" ] || fail "killed after $n files: the copy had ended"
  # Two starts at once: a second one meanwhile says so once, and asks nothing.
  start
  [ "$rc" = 1 ] && [ "$(grep -c -F 'Halvorn Glint is already running' <<<"$out")" = 1 ] &&
    ! grep -q -F 'Choose the image file.' <<<"$out" ||
    fail "a second start after $n files: exit $rc: $out"
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null
  # Taken for installed, it must be whole; otherwise setup asks and installs.
  start
  [ "$rc" = 0 ] && [ ! -e "$r/data/HV1/setup-not-finished" ] &&
    diff -r "$build/test-images/trees/full/HV1" "$r/data/HV1" >/dev/null ||
    fail "killed after $n files: not whole after the next start: $out"
done
