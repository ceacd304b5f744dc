#!/usr/bin/env bash
# Extraction of the full-size test image, side by side in one run: the Linux
# launcher (--setup-from IMAGE --no-play) against cp -r of the tree the image
# was made from (the machine's own limit), bsdtar -xf and xorriso's extract,
# each into a fresh folder. Prints each one's median wall time over RUNS runs,
# its ratio to cp -r, and peak memory; for the launcher also the peak of an
# idle start (data already there) and the difference. Not a test: it measures.
set -eu
cd "$(dirname "$0")/.."
runs=${1:-5}
. scripts/bench/lib.sh
bench_setup extract launcher hv_fixtures hv_test_images
image=$PWD/build/linux/test-images/full.iso
tree=$PWD/build/linux/test-images/trees/full/HV1
release="$work/Halvorn Glint"
mkdir -p "$release/bin"
cp build/linux/play-halvorn-glint "$release/"
cp build/linux/fixtures/hv1-glint.exe "$release/bin/"
export HV_STANDIN_RECORD=/dev/null

# run KIND: one run into a fresh folder.
run() {
  local dest=$work/out
  rm -rf "$dest" "$release/data" "$release/setup.log"
  mkdir -p "$dest"
  case $1 in
    launcher) timed "$release/play-halvorn-glint" --setup-from "$image" --no-play ;;
    cp_r) timed cp -r "$tree" "$dest/HV1" ;;
    bsdtar_x) timed bsdtar -xf "$image" -C "$dest" HV1 ;;
    xorriso_x) timed xorriso -osirrox on -indev "$image" -extract /HV1 "$dest/HV1" ;;
  esac
}

in_turns "$runs" cp_r launcher bsdtar_x xorriso_x
# The launcher at rest: the data is there, it starts and stops (--no-play).
run launcher >/dev/null
/usr/bin/time -f '%M' -o "$work/idle" "$release/play-halvorn-glint" --no-play </dev/null
idle=$(cat "$work/idle")

size=$(du -sm "$tree" | cut -f1)
echo "full-size image: $(($(stat -c %s "$image") / 1048576)) MiB, tree $size MiB; $runs runs each"
report 'cp -r' cp_r launcher bsdtar_x xorriso_x
peak=$(sort -n "$work/launcher.m" | tail -n 1)
awk -v p="$peak" -v i="$idle" 'BEGIN {
  printf "launcher idle peak %.1f MiB; extraction adds %.1f MiB (target: at most 4)\n", i / 1024, (p - i) / 1024 }'
echo "targets: launcher at most 1.10 times cp -r, below bsdtar and xorriso"
