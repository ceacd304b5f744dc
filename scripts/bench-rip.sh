#!/usr/bin/env bash
# Ripping from a file-backed source (the full-size test image standing in for
# a drive, warm in the page cache), side by side in one run:
# `halvorn-disc rip` (the volume read in 128 KiB chunks, checked after) against
# `dd bs=64k` of the same source into the same folder. Prints each one's
# median wall time over RUNS runs, the ratio and peak memory. Not a test: it
# measures.
set -eu
cd "$(dirname "$0")/.."
runs=${1:-5}
. scripts/bench/lib.sh
bench_setup rip halvorn_disc hv_test_images
image=$PWD/build/linux/test-images/full.iso
tool=$PWD/build/linux/halvorn-disc

# run KIND: one rip into a fresh file, checked against the source.
run() {
  local line
  rm -f "$work"/out*
  case $1 in
    halvorn) line=$(timed "$tool" rip "$image" "$work/out.iso") ;;
    dd) line=$(timed dd if="$image" of="$work/out.iso" bs=64k status=none) ;;
  esac
  cmp -s "$image" "$work/out.iso" || { echo "$1: output differs from full.iso" >&2; exit 1; }
  echo "$line"
}

in_turns "$runs" dd halvorn
echo "source: $(($(stat -c %s "$image") / 1048576)) MiB; $runs runs each"
report 'dd' dd halvorn
echo "target: halvorn-disc rip at most 1.10 times dd bs=64k, peak memory bounded"
