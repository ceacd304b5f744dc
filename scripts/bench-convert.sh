#!/usr/bin/env bash
# Conversion of the full-size test image made raw (MODE1/2352 .bin and its
# .cue), side by side in one run: `halvorn-disc convert` (every sector's EDC
# checked) against bchunk on the same .bin/.cue, each writing a fresh .iso.
# Prints each one's median wall time over RUNS runs, the ratio, and peak
# memory. Not a test: it measures.
set -eu
cd "$(dirname "$0")/.."
runs=${1:-5}
scripts/deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target halvorn_disc hv_fixtures hv_test_images >/dev/null
image=$PWD/build/linux/test-images/full.iso
tool=$PWD/build/linux/halvorn-disc
work=$(mktemp -d /tmp/hv-bench-convert.XXXXXX)
trap 'rm -rf "$work"' EXIT
build/linux/fixtures/make-raw-image "$image" "$work/disc.bin" mode1
printf 'FILE "disc.bin" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n' > "$work/disc.cue"

# run KIND: one conversion, timed by the shell's clock (microseconds), peak
# memory by time(1); prints "us kilobytes".
run() {
  local kind=$1 start end cmd
  rm -f "$work"/out*
  case $kind in
    halvorn) cmd=("$tool" convert "$work/disc.cue" "$work/out.iso") ;;
    bchunk) cmd=(bchunk "$work/disc.bin" "$work/disc.cue" "$work/out") ;;
  esac
  start=${EPOCHREALTIME/./}
  /usr/bin/time -f '%M' -o "$work/time" "${cmd[@]}" </dev/null >/dev/null 2>"$work/err" ||
    { echo "$kind failed: $(cat "$work/err")" >&2; exit 1; }
  end=${EPOCHREALTIME/./}
  cmp -s "$image" "$work"/out*.iso || { echo "$kind: output differs from full.iso" >&2; exit 1; }
  echo "$((10#$end - 10#$start)) $(cat "$work/time")"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

kinds="bchunk halvorn"
for kind in $kinds; do : > "$work/$kind.t"; : > "$work/$kind.m"; done
run bchunk >/dev/null  # warm the page cache for both
for i in $(seq 1 "$runs"); do
  for kind in $kinds; do
    read -r s kb < <(run "$kind")
    echo "$s" >> "$work/$kind.t"
    echo "$kb" >> "$work/$kind.m"
  done
done
echo "raw image: $(($(stat -c %s "$work/disc.bin") / 1048576)) MiB of 2352-byte sectors; $runs runs each"
base=$(median < "$work/bchunk.t")
for kind in $kinds; do
  t=$(median < "$work/$kind.t")
  m=$(sort -n "$work/$kind.m" | tail -n 1)
  awk -v k="$kind" -v t="$t" -v b="$base" -v m="$m" \
    'BEGIN {printf "%-8s median %7.1f ms  ratio to bchunk %5.2f  peak %5.1f MiB\n", k, t / 1000, t / b, m / 1024}'
done
echo "target: halvorn-disc at most 1.30 times bchunk, peak memory a few MiB"
