#!/usr/bin/env bash
# The game program is missing: the error box shows, OK ends the run with exit code 1.
. "$(dirname "$0")/lib.sh"
start_display
start_wine
make_release no-game
with_data
start_launcher
box=$(wait_window '^Halvorn Glint$') || exit 1
screenshot "error-box"
answer "$box" Return
rc=$(wait_exit) || exit 1
[ "$rc" = 1 ] || fail "exit code $rc, expected 1"
[ -f "$root/setup.log" ] || fail "no setup.log"
[ ! -s "$root/setup.log" ] || fail "setup.log not empty: $(cat "$root/setup.log")"
echo "ok [$scenario]"
