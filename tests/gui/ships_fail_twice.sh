#!/usr/bin/env bash
# A ship build that fails twice: one warning box with the second run's
# reason, and the game still starts (exit 0).
. "$(dirname "$0")/lib.sh"
start_display
start_wine
make_release
with_data
with_ships '#!first ERROR network down
#!sleep 500
ERROR disk full
#!exit 1
'
start_launcher
question=$(next_box 30) || exit 1
answer "$question" Return  # Yes
wait_window '^Getting the 3D ships\.\.\.$' 30 >/dev/null || exit 1
screenshot "status-ships"
warning=$(next_box 60 "$question") || exit 1
screenshot "warning-box"
[ -z "$(xdotool search --onlyvisible --name '^Getting the 3D ships' 2>/dev/null)" ] ||
  fail "the status window is still up under the warning"
answer "$warning" Return
rc=$(wait_exit) || exit 1
[ "$rc" = 0 ] || fail "exit code $rc, expected 0"
expect_game_started
[ ! -e "$root/models/ships-not-now" ] || fail "a failure wrote the not-now marker"
expect_log "ships: ERROR network down" "ships: ERROR disk full" "ships: failed: disk full" \
  "ships: ERROR disk full" "ships: failed: disk full"
echo "ok [$scenario]"
