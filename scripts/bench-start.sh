#!/usr/bin/env bash
# Every-start cost: with the data and the ship models in place the launcher
# goes straight to the game. Times the whole Linux launcher process against
# starting the stand-in game directly (which exits at once), several runs
# each, and prints the medians and their ratio. Not a test: it only measures.
set -eu
cd "$(dirname "$0")/.."
runs=${1:-200}
cmake --build --preset linux -j2 --target launcher hv_fixtures >/dev/null
root=$(mktemp -d /tmp/hv-bench-start.XXXXXX)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/bin/python" "$root/tools" "$root/models" "$root/data/HV1/GAMEDAT"
cp build/linux/play-halvorn-glint "$root/"
cp build/linux/fixtures/hv1-glint.exe "$root/bin/"
cp build/linux/fixtures/python.exe "$root/bin/python/"
echo DONE > "$root/tools/install_ships.py"
: > "$root/models/type00.hvm"
for i in $(seq 1 20); do : > "$root/data/HV1/GAMEDAT/F$i.DAT"; done
export HV_STANDIN_RECORD=/dev/null

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
# The launcher returns once the game has started; it does not wait for it.
# So two figures: the launcher's own process, and the time until the game
# has ended too (the game inherits the launcher's stdout, so a pipe read to
# its end shows when both are gone). The runs go in turns, so that load from
# elsewhere falls on all of them alike.
time_us() {
  local start end
  start=${EPOCHREALTIME/./}
  "$@"
  end=${EPOCHREALTIME/./}
  echo $((10#$end - 10#$start))
}
direct() { (cd "$root/data/HV1" && exec "$root/bin/hv1-glint.exe" --dx12) | cat >/dev/null; }
chain() { (cd "$root" && exec "$root/play-halvorn-glint") | cat >/dev/null; }
alone() { (cd "$root" && exec "$root/play-halvorn-glint") >/dev/null; }
for kind in direct chain alone; do : > "$root/$kind.us"; done
for i in $(seq 1 "$runs"); do
  for kind in direct chain alone; do time_us $kind >> "$root/$kind.us"; done
done
d=$(median < "$root/direct.us")
c=$(median < "$root/chain.us")
a=$(median < "$root/alone.us")
echo "runs: $runs each, in turns"
echo "the game started directly, to its end:     median ${d} us"
echo "the launcher, then the game, to its end:   median ${c} us"
echo "the launcher's own process:                median ${a} us"
awk -v c="$c" -v a="$a" -v d="$d" 'BEGIN {
  printf "ratio, to the end of the game: %.2f (target: at most 1.20)\n", c / d
  printf "ratio, the launcher alone:     %.2f\n", a / d }'
