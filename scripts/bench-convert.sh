#!/usr/bin/env bash
# Conversion of the full-size test image made raw (MODE1/2352 .bin and its
# .cue), side by side in one run: `halvorn-disc convert` (every sector's EDC
# checked) against bchunk on the same .bin/.cue, each writing a fresh .iso.
# Prints each one's median wall time over RUNS runs, the ratio, and peak
# memory. Not a test: it measures.
set -eu
cd "$(dirname "$0")/.."
runs=${1:-5}
. scripts/bench/lib.sh
bench_setup convert halvorn_disc hv_fixtures hv_test_images
image=$PWD/build/linux/test-images/full.iso
tool=$PWD/build/linux/halvorn-disc
build/linux/fixtures/make-raw-image "$image" "$work/disc.bin"
printf 'FILE "disc.bin" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n' > "$work/disc.cue"

# run KIND: one conversion into a fresh file, checked against full.iso.
run() {
  local line
  rm -f "$work"/out*
  case $1 in
    halvorn) line=$(timed "$tool" convert "$work/disc.cue" "$work/out.iso") ;;
    bchunk) line=$(timed bchunk "$work/disc.bin" "$work/disc.cue" "$work/out") ;;
  esac
  cmp -s "$image" "$work"/out*.iso || { echo "$1: output differs from full.iso" >&2; exit 1; }
  echo "$line"
}

in_turns "$runs" bchunk halvorn
echo "raw image: $(($(stat -c %s "$work/disc.bin") / 1048576)) MiB of 2352-byte sectors; $runs runs each"
report bchunk bchunk halvorn
echo "target: halvorn-disc at most 1.30 times bchunk, peak memory a few MiB"
