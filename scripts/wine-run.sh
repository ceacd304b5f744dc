#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in the build's own prefix,
# with a persistent wineserver so each start costs milliseconds, not seconds.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${HV_WINEPREFIX:-$here/build/windows/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$WINEPREFIX"
# Starts one if none runs for this prefix; returns at once otherwise.
wineserver -p 120 >/dev/null 2>&1 || true
exec wine "$@"
