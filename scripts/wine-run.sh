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

# The first program of a server's life starts the prefix's services, and
# they keep that program's standard streams for as long as the server lives:
# a caller reading its output to the end (ctest) would wait for minutes.
# So the services are started here first, by a program with no streams.
services_running() {
  local pid
  for pid in $(pgrep -x services.exe); do
    tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}
# The services must not inherit the lock: they would hold it for as long as
# they live, and every later start would wait at the lock for them to end.
if ! services_running; then
  (
    flock 9
    services_running || wine cmd /c exit </dev/null >/dev/null 2>&1 9>&-
  ) 9>"$WINEPREFIX/.boot-lock"
fi
exec wine "$@"
