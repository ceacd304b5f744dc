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
measure() {
  local i start end
  for i in $(seq 1 "$runs"); do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(( (end - start) / 1000 ))
  done | median
}
# The launcher returns once the game has started; it does not wait for it.
launcher() { "$root/play-halvorn-glint"; }
direct=$(cd "$root/data/HV1" && measure "$root/bin/hv1-glint.exe" --dx12)
whole=$(measure launcher)
echo "runs: $runs each"
echo "direct start of the game: median ${direct} us"
echo "launcher, then the game:  median ${whole} us"
awk -v a="$whole" -v b="$direct" 'BEGIN {printf "ratio: %.2f (target: at most 1.20)\n", a / b}'
