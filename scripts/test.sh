#!/usr/bin/env bash
# Every test: the Linux build natively, the Windows build under Wine (its
# real windows driven under Xvfb), the Linux build again under AddressSanitizer
# and UndefinedBehaviorSanitizer, and a short run of each fuzz target; the
# Windows package built again in another folder must give the same bytes.
#   HV_JOBS       parallel jobs (default 2)
#   HV_FUZZ_SECONDS  seconds per fuzz target (default 20; 0 skips fuzzing)
set -u
cd "$(dirname "$0")/.."
scripts/deps.sh || exit 1
jobs=${HV_JOBS:-2}
fuzz_seconds=${HV_FUZZ_SECONDS:-20}
start=$SECONDS
summary=()

# stage NAME COMMAND...: runs one stage, keeps its closing lines for the end.
stage() {
  local name=$1 log
  shift
  log=$(mktemp)
  echo "== $name =="
  "$@" 2>&1 | tee "$log"
  ended "$name" "${PIPESTATUS[0]}" "$log"
}
# ended NAME CODE LOG: a stage's line and closing lines in the summary.
ended() {
  summary+=("== $1: $([ "$2" = 0 ] && echo passed || echo FAILED) ($((SECONDS - start)) s so far)")
  summary+=("$(grep -E 'tests passed|tests failed|finding:|check-release: FAIL' "$3" | tail -n 4)")
  rm -f "$3"
  [ "$2" = 0 ] || status=1
}

build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$jobs"; }
status=0
build linux || exit 1
build windows || exit 1

# The Linux and Windows tests leave the machine idle while they wait on
# programs and windows. Meanwhile, at the lowest priority so that it takes
# only what they leave, a chain in the background builds and runs the
# sanitizer stage, builds the release again in another folder and compares,
# and builds the fuzz targets; each stage shows what it printed in its turn.
# (Started with the builds, it slowed them more than it gained.)
later=$(mktemp -d)
set -m  # the chain in a process group of its own, ended whole if this ends early
(
  nice -n 19 bash -c "cmake --preset linux-sanitize >/dev/null &&
    cmake --build --preset linux-sanitize -j$jobs && ctest --preset linux-sanitize -j$jobs" \
    >"$later/asan.log" 2>&1
  echo $? >"$later/asan.rc"
  nice -n 19 scripts/check-release.sh >"$later/release.log" 2>&1
  echo $? >"$later/release.rc"
  [ "$fuzz_seconds" = 0 ] || nice -n 19 scripts/fuzz.sh build >/dev/null 2>&1
) &
background=$!
set +m
trap 'kill -- -$background 2>/dev/null; rm -rf "$later"' EXIT

stage "Linux build" ctest --preset linux -j"$jobs"

export HV_WINEPREFIX=${HV_WINEPREFIX:-$PWD/build/windows/wineprefix}
# The first start makes the prefix and its services (scripts/wine-run.sh);
# the persistent wineserver keeps later starts cheap. Both end with the stage.
scripts/wine-run.sh cmd /c exit >/dev/null 2>&1
trap 'WINEPREFIX=$HV_WINEPREFIX wineserver -k >/dev/null 2>&1; kill -- -$background 2>/dev/null
  rm -rf "$later"' EXIT
stage "Windows build (under Wine)" ctest --preset windows -j"$jobs"
WINEPREFIX=$HV_WINEPREFIX wineserver -k >/dev/null 2>&1
wait $background  # what is left of it now has the machine to itself

# shown NAME FILE: a stage the chain ran, as if it ran now.
shown() {
  echo "== $1 =="
  cat "$later/$2.log"
  ended "$1" "$(cat "$later/$2.rc")" "$later/$2.log"
}
shown "Linux build with ASan and UBSan" asan
shown "Release rebuilt in another folder, byte for byte" release
if [ "$fuzz_seconds" -gt 0 ]; then
  stage "Fuzz targets, ${fuzz_seconds} s side by side" scripts/fuzz.sh "$fuzz_seconds"
fi

echo
printf '%s\n' "${summary[@]}"
echo "== all stages $([ "$status" = 0 ] && echo passed || echo FAILED) in $((SECONDS - start)) s"
exit $status
