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
  local rc=${PIPESTATUS[0]}
  summary+=("== $name: $([ "$rc" = 0 ] && echo passed || echo FAILED) ($((SECONDS - start)) s so far)")
  summary+=("$(grep -E 'tests passed|tests failed|finding:|check-release: FAIL' "$log" | tail -n 4)")
  rm -f "$log"
  [ "$rc" = 0 ] || status=1
}

build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$jobs"; }
status=0
build linux || exit 1
build windows || exit 1

stage "Linux build" ctest --preset linux -j"$jobs"

export HV_WINEPREFIX=${HV_WINEPREFIX:-$PWD/build/windows/wineprefix}
# The first start makes the prefix and its services (scripts/wine-run.sh);
# the persistent wineserver keeps later starts cheap. Both end with the stage.
scripts/wine-run.sh cmd /c exit >/dev/null 2>&1
trap 'WINEPREFIX=$HV_WINEPREFIX wineserver -k >/dev/null 2>&1' EXIT
stage "Windows build (under Wine)" ctest --preset windows -j"$jobs"
WINEPREFIX=$HV_WINEPREFIX wineserver -k >/dev/null 2>&1
stage "Release rebuilt in another folder, byte for byte" scripts/check-release.sh
sanitized() { build linux-sanitize >/dev/null && ctest --preset linux-sanitize -j"$jobs"; }
stage "Linux build with ASan and UBSan" sanitized
if [ "$fuzz_seconds" -gt 0 ]; then
  stage "Fuzz targets, ${fuzz_seconds} s side by side" scripts/fuzz.sh "$fuzz_seconds"
fi

echo
printf '%s\n' "${summary[@]}"
echo "== all stages $([ "$status" = 0 ] && echo passed || echo FAILED) in $((SECONDS - start)) s"
exit $status
