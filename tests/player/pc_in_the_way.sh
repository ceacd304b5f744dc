#!/usr/bin/env bash
# The Linux launcher on a PC that gets in the way, for real: a release folder
# the player can't write, a disk too small, the launcher killed part-way
# through a copy, two launchers at once. Each start must tell the
# truth, and a half install must never be taken for an installed one.
# Usage: pc_in_the_way.sh BUILD_DIR
set -u
build=${1:?the Linux build folder}
image=$build/test-images/full.iso
work=$(mktemp -d /tmp/hv-pc.XXXXXX)
# (A launcher stopped part-way is killed, or it would hold the output open.)
trap 'kill -KILL ${pid:-} 2>/dev/null; umount "$work/small" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A release folder with the launcher and the stand-in game, no data, copied
# where each case needs one.
r="$work/Halvorn Glint"  # a path with a space, as players have it
mkdir -p "$r/bin" "$r/models"
cp "$build/play-halvorn-glint" "$r/"
cp "$build/fixtures/hv1-glint.exe" "$r/bin/"
chmod -R a+rX "$work"  # for the unprivileged user below
# start DIR ANSWERS: one start, the answers on its input, as $as_player if
# set; $out holds what it showed (boxes on stderr), $rc its exit code.
start() {
  out=$(printf "$2" | ${as_player:-} "$1/play-halvorn-glint" --no-play 2>&1)
  rc=$?
}
shown() { grep -c -F "$1" <<<"$out"; }
explain='Choose the image file.'

# A folder the player can't write (root writes anywhere, so as an
# unprivileged user): the box about the log, the one about the folder, and
# setup ends without asking again.
cp -a "$r" "$work/locked"
chmod a-w "$work/locked"
[ "$(id -u)" != 0 ] || as_player="setpriv --reuid=65534 --regid=65534 --clear-groups"
start "$work/locked" "\no\n$image\n"
as_player=
chmod u+w "$work/locked"
[ "$rc" = 1 ] && [ "$(shown "can't write its log file")" = 1 ] &&
  [ "$(shown "can't write the game data into its folder (access is denied)")" = 1 ] &&
  [ "$(shown "$explain")" = 1 ] || fail "unwritable folder: exit $rc: $out"

# A disk too small for the data: told before anything is copied.
if mkdir "$work/small" && mount -t tmpfs -o size=60m tmpfs "$work/small" 2>/dev/null; then
  cp -a "$r" "$work/small/r"
  start "$work/small/r" "o\n$image\n"
  [ "$rc" = 1 ] && [ "$(shown "is too full for the game data: it needs")" = 1 ] &&
    [ "$(shown "MB are free, 151 MB are needed).")" = 1 ] && [ "$(shown "$explain")" = 1 ] &&
    [ -z "$(find "$work/small/r/data" -type f)" ] || fail "small disk: exit $rc: $out"
else
  echo "SKIP: a small disk (mounting a tmpfs is not allowed here)"
fi

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
  # Two starts at once: a second one meanwhile says so, and asks nothing.
  start "$r" "o\n$image\n"
  [ "$rc" = 1 ] && [ "$(shown "Halvorn Glint is already running")" = 1 ] &&
    [ "$(shown "$explain")" = 0 ] || fail "a second start after $n files: exit $rc: $out"
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null
  # Taken for installed, it must be whole; otherwise setup asks and installs.
  start "$r" "o\n$image\n"
  [ "$rc" = 0 ] && [ ! -e "$r/data/HV1/setup-not-finished" ] &&
    diff -r "$build/test-images/trees/full/HV1" "$r/data/HV1" >/dev/null ||
    fail "killed after $n files: not whole after the next start: $out"
done
