#!/usr/bin/env bash
# halvorn-disc stopped part-way through a conversion, as a player stops it:
# Ctrl+C (SIGINT), or its window closed or the session ended (SIGHUP,
# SIGTERM). The program ends as interrupted, and its temporary file goes
# with it: nothing is left but what was there.
# Usage: tool_interrupted.sh HALVORN_DISC MAKE_RAW_IMAGE ISO
tool=${1:?halvorn-disc} make_raw=${2:?make-raw-image} iso=${3:?an ISO image}
work=$(mktemp -d /tmp/hv-interrupted.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$make_raw" "$iso" "$work/disc.bin" || exit 1
for sig in INT HUP TERM; do
  "$tool" convert "$work/disc.bin" "$work/disc.iso" >/dev/null 2>&1 &
  pid=$!
  # Run in slices of a few milliseconds, stopped in between, until its
  # temporary file has data: a busy machine can't let it run to its end unseen.
  while kill -STOP "$pid" && [ ! -s "$work/disc.iso.partial" ]; do
    kill -CONT "$pid"
    read -r -t 0.002 < /dev/zero  # a builtin: no process started while it runs
  done
  kill -"$sig" "$pid"
  kill -CONT "$pid"  # the signal waits, stopped, until then
  wait "$pid"
  rc=$?
  [ $rc -gt 128 ] && [ "$(ls "$work")" = disc.bin ] || { echo "FAIL: SIG$sig: exit $rc"; exit 1; }
done
