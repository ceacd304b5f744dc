#!/usr/bin/env bash
# Every-start cost: with the data and the ship models in place the launcher
# goes straight to the game, so its own process is pure overhead. Times the
# Linux launcher's process, from its start to its exit (it does not wait for
# the game), side by side with a static program that does nothing, the floor
# for any process, and a dynamically linked C++ one for scale. The runs go in
# turns (scripts/bench/time_starts.c), so load from elsewhere falls on all
# alike. The game here is the static no-op itself, and what a run leaves
# running is reaped before the next run starts, so that no run pays for the
# one before it. Prints the medians, the ratios to the floor, and the
# launcher's ratio to a program that only starts the game (the floor for any
# launcher). Not a test: it only measures.
#   scripts/bench-start.sh [RUNS]   (default 1000)
set -eu
cd "$(dirname "$0")/.."
runs=${1:-1000}
cmake --build --preset linux -j2 --target launcher >/dev/null 2>&1 ||
  { echo "bench-start: the launcher does not build" >&2; exit 1; }
root=$(mktemp -d /tmp/hv-bench-start.XXXXXX)
trap 'rm -rf "$root"' EXIT
${CC:-cc} -O2 -o "$root/time_starts" scripts/bench/time_starts.c
echo 'int main(void) { return 0; }' | ${CC:-cc} -O2 -static -x c - -o "$root/noop-static"
echo 'int main() { return 0; }' | ${CXX:-c++} -O2 -x c++ - -o "$root/noop-dynamic"
${CC:-cc} -O2 -static -D_GNU_SOURCE -DGAME="\"$root/release/bin/hv1-glint.exe\"" \
  -DFOLDER="\"$root/release/data/HV1\"" scripts/bench/start_only.c -o "$root/start-only"

mkdir -p "$root/release/bin/python" "$root/release/tools" "$root/release/models" \
         "$root/release/data/HV1/GAMEDAT"
cp build/linux/play-halvorn-glint "$root/release/"
cp "$root/noop-static" "$root/release/bin/hv1-glint.exe"
: > "$root/release/bin/python/python.exe"
: > "$root/release/tools/install_ships.py"
: > "$root/release/models/type00.hvm"
# As many files as an installed GAMEDAT holds.
for i in $(seq 1 120); do : > "$root/release/data/HV1/GAMEDAT/F$i.DAT"; done

linked=dynamic
file build/linux/play-halvorn-glint | grep -q 'statically linked' && linked=static
# Each line (us): median, 10th and 90th percentile to the exit; median CPU time.
"$root/time_starts" "$runs" "$root/noop-static" "$root/noop-dynamic" "$root/start-only" \
  "$root/release/play-halvorn-glint" > "$root/times"
# Exit code 0 every time (checked by time_starts) and nothing logged: the
# launcher went straight to the game.
[ ! -s "$root/release/setup.log" ] || { echo "bench-start: the launcher did more than start the game" >&2; exit 1; }
echo "runs: $runs each, in turns"
awk -v linked="$linked" '
  { median[NR] = $1; low[NR] = $2; high[NR] = $3; cpu[NR] = $4 }
  END {
    split("a static program that does nothing|a dynamic C++ program that does nothing|" \
          "a static program that only starts the game|the launcher (" linked "), to its exit", name, "|")
    for (i = 1; i <= 4; ++i)
      printf "%-45s median %5.0f us (10%%: %.0f, 90%%: %.0f), CPU %.0f us\n",
             name[i] ":", median[i], low[i], high[i], cpu[i]
    printf "ratio to the static no-op: dynamic no-op %.2f, start only %.2f, launcher %.2f (target: at most 1.30)\n",
           median[2] / median[1], median[3] / median[1], median[4] / median[1]
    printf "the launcher to a program that only starts the game: %.2f (CPU %.2f)\n",
           median[4] / median[3], cpu[4] / cpu[3]
    printf "ratio of CPU time:         dynamic no-op %.2f, start only %.2f, launcher %.2f\n",
           cpu[2] / cpu[1], cpu[3] / cpu[1], cpu[4] / cpu[1]
  }' "$root/times"
