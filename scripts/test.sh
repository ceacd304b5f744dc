#!/usr/bin/env bash
# Builds both targets and runs every test of both: the Linux build natively,
# the Windows build under Wine.
set -u
cd "$(dirname "$0")/.."
scripts/deps.sh || exit 1
jobs=${HV_JOBS:-2}
set -e
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$jobs"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
set +e

export HV_WINEPREFIX=${HV_WINEPREFIX:-$PWD/build/windows/wineprefix}
mkdir -p "$HV_WINEPREFIX"
# The first start makes the prefix; a persistent wineserver keeps later
# starts cheap. Both end with the run.
WINEPREFIX=$HV_WINEPREFIX WINEDEBUG=-all wineserver -p 120
WINEPREFIX=$HV_WINEPREFIX WINEDEBUG=-all wine cmd /c exit >/dev/null 2>&1
trap 'WINEPREFIX=$HV_WINEPREFIX wineserver -k >/dev/null 2>&1' EXIT

status=0
echo "== Linux build =="
ctest --preset linux -j"$jobs" || status=1
echo "== Windows build (under Wine) =="
ctest --preset windows -j"$jobs" || status=1
exit $status
