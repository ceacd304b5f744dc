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
scripts/deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target launcher hv_fixtures hv_test_images >/dev/null
image=$PWD/build/linux/test-images/full.iso
tree=$PWD/build/linux/test-images/trees/full/HV1
work=$(mktemp -d /tmp/hv-bench-extract.XXXXXX)
trap 'rm -rf "$work"' EXIT
release="$work/Halvorn Glint"
mkdir -p "$release/bin"
cp build/linux/play-halvorn-glint "$release/"
cp build/linux/fixtures/hv1-glint.exe "$release/bin/"
export HV_STANDIN_RECORD=/dev/null

# run KIND: one run into a fresh folder, timed by the shell's own clock (in
# microseconds) and measured for peak memory by time(1); prints "us kilobytes".
run() {
  local kind=$1 dest=$work/out start end
  rm -rf "$dest" "$release/data" "$release/setup.log"
  mkdir -p "$dest"
  local cmd
  case $kind in
    launcher) cmd=("$release/play-halvorn-glint" --setup-from "$image" --no-play) ;;
    cp_r) cmd=(cp -r "$tree" "$dest/HV1") ;;
    bsdtar_x) cmd=(bsdtar -xf "$image" -C "$dest" HV1) ;;
    xorriso_x) cmd=(xorriso -osirrox on -indev "$image" -extract /HV1 "$dest/HV1") ;;
  esac
  start=${EPOCHREALTIME/./}
  /usr/bin/time -f '%M' -o "$work/time" "${cmd[@]}" </dev/null >/dev/null 2>"$work/err" ||
    { echo "$kind failed: $(cat "$work/err")" >&2; exit 1; }
  end=${EPOCHREALTIME/./}
  echo "$((10#$end - 10#$start)) $(cat "$work/time")"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

kinds="cp_r launcher bsdtar_x xorriso_x"
for kind in $kinds; do : > "$work/$kind.t"; : > "$work/$kind.m"; done
run cp_r >/dev/null  # warm the page cache for everyone
# In turns, so that whatever else the machine does falls on all alike.
for i in $(seq 1 "$runs"); do
  for kind in $kinds; do
    read -r s kb < <(run "$kind")
    echo "$s" >> "$work/$kind.t"
    echo "$kb" >> "$work/$kind.m"
  done
done
# The launcher at rest: the data is there, it starts and stops (--no-play).
run launcher >/dev/null
/usr/bin/time -f '%M' -o "$work/idle" "$release/play-halvorn-glint" --no-play </dev/null
idle=$(cat "$work/idle")

size=$(du -sm "$tree" | cut -f1)
echo "full-size image: $(($(stat -c %s "$image") / 1048576)) MiB, tree $size MiB; $runs runs each"
base=$(median < "$work/cp_r.t")
for kind in $kinds; do
  t=$(median < "$work/$kind.t")
  m=$(sort -n "$work/$kind.m" | tail -n 1)
  awk -v k="$kind" -v t="$t" -v b="$base" -v m="$m" \
    'BEGIN {printf "%-10s median %7.1f ms  ratio to cp -r %5.2f  peak %6.1f MiB\n", k, t / 1000, t / b, m / 1024}'
done
peak=$(sort -n "$work/launcher.m" | tail -n 1)
awk -v p="$peak" -v i="$idle" 'BEGIN {
  printf "launcher idle peak %.1f MiB; extraction adds %.1f MiB (target: at most 4)\n", i / 1024, (p - i) / 1024 }'
echo "targets: launcher at most 1.10 times cp -r, below bsdtar and xorriso"
