#!/usr/bin/env bash
# Fuzzes the disc reader and the install with libFuzzer (clang, ASan, UBSan), on Linux.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#   scripts/fuzz.sh build     only builds the targets and their seeds
# Targets: fuzz_disc_walk fuzz_disc_install (default: both),
# run side by side for SECONDS each (default 60) on its working corpus build/fuzz/corpus/<target>,
# seeded from build/fuzz/seeds/disc. Each run adds a line to build/fuzz/results.txt;
# the table of every target's latest run is printed at the end. Each run's
# libFuzzer output is kept in <build>/logs/<target>-<time>.log. Findings land
# in build/fuzz/findings/<target>/. Exits non-zero when any target found one.
# SECONDS 0 replays the corpora once without mutating (the check of a corpus
# grown by a faster build).
# HV_FUZZ_NICE sets the runs' nice level (default 0).
# HV_FUZZ_SANITIZERS builds the targets with other sanitizers than
# "address,undefined", in build/fuzz-<sanitizers>, on the same corpora: with
# "undefined" the install target runs about twenty times faster, for long runs.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/fuzz
sanitizers=${HV_FUZZ_SANITIZERS:-address,undefined}
build=$work
[ "$sanitizers" = address,undefined ] || build=$root/build/fuzz-${sanitizers//,/-}
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_disc_walk fuzz_disc_install)
nice_level=${HV_FUZZ_NICE:-0}

# Tools (clang and its fuzzer runtime), installed when missing.
"$root/scripts/deps.sh"

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DHV_FUZZ=ON \
    -DHV_FUZZ_SANITIZERS="$sanitizers" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target fuzz_all -j2 >/dev/null
[ "$seconds" = build ] && exit 0

mkdir -p "$work"
results=$work/results.txt
[ -f "$results" ] || printf 'date\ttarget\tseconds\texecutions\texecs/s\tcorpus\tresult\n' > "$results"
for target in "${targets[@]}"; do
  if [ ! -x "$build/$target" ]; then
    echo "no such target: $target" >&2
    exit 2
  fi
done

# fuzz_one TARGET: one run; its line of the results, and its summary in
# $build/logs/TARGET.summary (its last word "failed" when it found something).
fuzz_one() {
  local target=$1 corpus=$work/corpus/$1 findings=$work/findings/$1 rc=0 result
  local log=$build/logs/$target-$(date -u +%Y%m%dT%H%M%SZ).log
  mkdir -p "$corpus" "$findings" "$build/logs"
  local limit=-max_total_time=$seconds
  [ "$seconds" -eq 0 ] && limit=-runs=0
  local before after runs speed units label
  before=$(find "$findings" -type f | wc -l)
  # The seed images are up to 128 KiB.
  nice -n "$nice_level" "$build/$target" "$limit" -timeout=10 \
    -rss_limit_mb=2048 -max_len=131072 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "$build/seeds/disc" >"$log" 2>&1 || rc=$?
  after=$(find "$findings" -type f | wc -l)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  [ -n "$runs" ] || runs=$(sed -n 's/^Done \([0-9]*\) runs in.*/\1/p' "$log" | tail -1)
  [ -n "$runs" ] || runs=$(sed -n 's/^#\([0-9]*\).*/\1/p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  units=$(find "$corpus" -type f | wc -l)
  if [ "$rc" -ne 0 ] || [ "$after" -gt "$before" ]; then
    result="FINDING (exit $rc; see $log and $findings)"
  else
    result=none
  fi
  label=$target
  [ "$sanitizers" = address,undefined ] || label="$target ($sanitizers)"
  [ "$seconds" -eq 0 ] && label="$label replay"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%Y-%m-%dT%H:%MZ)" "$label" "$seconds" \
    "${runs:-?}" "${speed:-?}" "$units" "$result" >> "$results"
  echo "$target: ${runs:-?} executions in ${seconds}s (${speed:-?}/s), finding: $result" \
    > "$build/logs/$target.summary"
}

# The targets run side by side (HV_FUZZ_SIDE_BY_SIDE=0: one after another),
# each for SECONDS of the machine's time shared among them.
mkdir -p "$build/logs"
for target in "${targets[@]}"; do
  if [ "${HV_FUZZ_SIDE_BY_SIDE:-1}" = 0 ]; then fuzz_one "$target"; else fuzz_one "$target" & fi
done
wait
failed=0
for target in "${targets[@]}"; do
  cat "$build/logs/$target.summary"
  grep -q 'finding: none$' "$build/logs/$target.summary" || failed=1
done

# Every target's latest run, as a table.
echo
echo "| target | date | seconds | executions | execs/s | corpus | finding |"
echo "|---|---|---|---|---|---|---|"
awk -F'\t' 'NR > 1 { last[$2] = $0 } END { for (t in last) print last[t] }' "$results" | sort -t$'\t' -k2 |
  awk -F'\t' '{ printf "| %s | %s | %s | %s | %s | %s | %s |\n", $2, $1, $3, $4, $5, $6, $7 }'
exit $failed
