#!/usr/bin/env bash
# The Linux launcher on a PC that gets in the way, for real: a release folder
# the player can't write, a disk too small, the launcher killed part-way
# through a copy, two launchers at once. Each start must tell the
# truth, and a half install must never be taken for an installed one.
# Usage: pc_in_the_way.sh BUILD_DIR
set -u
build=${1:?the Linux build folder}
image=$build/test-images/full.iso
tree=$build/test-images/trees/full/HV1
work=$(mktemp -d /tmp/hv-pc.XXXXXX)
chmod 755 "$work"
mounted=
cleanup() {
  [ -z "$mounted" ] || umount "$mounted"
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A release folder with the launcher and the stand-in game, no data.
release() {
  mkdir -p "$1/bin" "$1/models"
  cp "$build/play-halvorn-glint" "$1/"
  cp "$build/fixtures/hv1-glint.exe" "$1/bin/"
  chmod -R a+rX "$1"
}
# Whether the release folder $1 holds the whole tree and no unfinished install.
whole() {
  [ ! -e "$1/data/HV1/setup-not-finished" ] && diff -r "$tree" "$1/data/HV1" >/dev/null
}
# start DIR ANSWERS [ARG...]: one start, the answers on its input; $out holds
# what it showed (boxes on stderr), $rc its exit code.
start() {
  local dir=$1 answers=$2
  shift 2
  out=$(printf "$answers" | $as_player "$dir/play-halvorn-glint" --no-play "$@" 2>&1)
  rc=$?
}
shown() { grep -c -F "$1" <<<"$out"; }
explain='Choose the image file.'
as_player=

# A folder the player can't write: as an unprivileged user (root writes
# anywhere); the log, the folder box, and setup ends without asking again.
r="$work/locked/Halvorn Glint"
release "$r"
[ "$(id -u)" = 0 ] && as_player="setpriv --reuid=65534 --regid=65534 --clear-groups" ||
  chmod a-w "$r"
start "$r" "\no\n$image\n"
[ "$rc" = 1 ] || fail "unwritable folder: exit $rc"
[ "$(shown "can't write its log file")" = 1 ] || fail "no box about the log: $out"
[ "$(shown "can't write the game data into its folder (access is denied)")" = 1 ] ||
  fail "no box about the folder: $out"
[ "$(shown "$explain")" = 1 ] && [ "$(shown "isn't Halvorn")" = 0 ] ||
  fail "asked again, or blamed the image: $out"
chmod -R u+w "$work/locked"
as_player=

# A disk too small for the data: told before anything is copied.
if mkdir -p "$work/small" && mount -t tmpfs -o size=60m tmpfs "$work/small" 2>/dev/null; then
  mounted=$work/small
  r="$work/small/Halvorn Glint"
  release "$r"
  start "$r" "o\n$image\n"
  [ "$rc" = 1 ] && [ "$(shown "is too full for the game data: it needs")" = 1 ] &&
    [ "$(shown "MB are free, 151 MB are needed).")" = 1 ] && [ "$(shown "$explain")" = 1 ] ||
    fail "small disk: exit $rc: $out"
  [ -z "$(find "$r/data" -type f)" ] || fail "small disk: files were copied"
  umount "$mounted" && mounted=
else
  echo "SKIP: a small disk (mounting a tmpfs is not allowed here)"
fi

# Killed part-way: run in slices of a few milliseconds, stopped in between
# (so that a busy machine cannot let the copy run past the point), killed
# once it has written N files; the next start counts the data as installed
# only when it is whole, and otherwise runs setup by itself. While it is
# stopped, it holds the folder as a start waiting at a question does.
r="$work/killed/Halvorn Glint"
release "$r"
for n in 5 40 110 123; do
  rm -rf "$r/data" "$r/setup.log"
  "$r/play-halvorn-glint" --no-play --setup-from "$image" 2>/dev/null &
  pid=$!
  kill -STOP "$pid"
  for _ in $(seq 1 2000); do
    [ "$(find "$r/data" -type f 2>/dev/null | wc -l)" -le "$n" ] || break
    kill -CONT "$pid"
    sleep 0.002
    kill -STOP "$pid"
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
  [ "$rc" = 0 ] && whole "$r" || fail "killed after $n files: not whole after the next start: $out"
done

echo "pc_in_the_way: passed"
