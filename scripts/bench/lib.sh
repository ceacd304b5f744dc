# Timing shared by the benchmark scripts (sourced). Each script calls
# bench_setup, then defines run KIND, which sets up one run and calls timed
# with its command.

# bench_setup NAME TARGET...: the tools, the Linux build of TARGETs, and a
# fresh folder $work, removed when the script ends.
bench_setup() {
  local name=$1
  shift
  scripts/deps.sh bench
  cmake --preset linux >/dev/null
  cmake --build --preset linux -j2 --target "$@" >/dev/null
  work=$(mktemp -d "/tmp/hv-bench-$name.XXXXXX")
  trap 'rm -rf "$work"' EXIT
}

# timed COMMAND...: runs it, timed by the shell's own clock (microseconds)
# with its peak memory from time(1); prints "us kilobytes", ends the script
# when the command fails.
timed() {
  local start end
  start=${EPOCHREALTIME/./}
  /usr/bin/time -f '%M' -o "$work/time" "$@" </dev/null >/dev/null 2>"$work/err" ||
    { echo "$1 failed: $(cat "$work/err")" >&2; exit 1; }
  end=${EPOCHREALTIME/./}
  echo "$((10#$end - 10#$start)) $(cat "$work/time")"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

# in_turns RUNS KIND...: RUNS rounds of one run of each kind, so that whatever
# else the machine does falls on all alike; times in $work/KIND.t, peaks in
# $work/KIND.m. The first kind runs once before, to warm the page cache.
in_turns() {
  local runs=$1 kind s kb
  shift
  for kind in "$@"; do : > "$work/$kind.t"; : > "$work/$kind.m"; done
  run "$1" >/dev/null
  for _ in $(seq 1 "$runs"); do
    for kind in "$@"; do
      read -r s kb < <(run "$kind")
      echo "$s" >> "$work/$kind.t"
      echo "$kb" >> "$work/$kind.m"
    done
  done
}

# report BASE_LABEL KIND...: each kind's median, its ratio to the first kind
# and its peak memory.
report() {
  local label=$1 base kind t m
  shift
  base=$(median < "$work/$1.t")
  for kind in "$@"; do
    t=$(median < "$work/$kind.t")
    m=$(sort -n "$work/$kind.m" | tail -n 1)
    awk -v k="$kind" -v t="$t" -v b="$base" -v m="$m" -v l="$label" \
      'BEGIN {printf "%-10s median %7.1f ms  ratio to %s %5.2f  peak %6.1f MiB\n", k, t / 1000, l, t / b, m / 1024}'
  done
}
