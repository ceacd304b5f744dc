#!/usr/bin/env bash
# The ships question answered No: the marker is written and the game starts;
# the next start asks nothing; "--ships" asks again.
. "$(dirname "$0")/lib.sh"
start_display
start_wine
make_release
with_data
with_ships '#!write models/type00.hvm
DONE
'
start_launcher
question=$(next_box 30) || exit 1
screenshot "ships-question"
answer "$question" n
rc=$(wait_exit) || exit 1
[ "$rc" = 0 ] || fail "exit code $rc, expected 0"
[ -f "$root/models/ships-not-now" ] || fail "no models\\ships-not-now after No"
[ ! -e "$root/models/type00.hvm" ] || fail "the ships were built after No"
expect_game_started
expect_log "ships: not now"

rm -f "$game_record"
start_launcher
rc=$(wait_exit_without_windows 60) || exit 1
[ "$rc" = 0 ] || fail "second start: exit code $rc, expected 0"
expect_game_started
expect_log "ships: not now"

start_launcher --ships
question=$(next_box 30) || exit 1
answer "$question" Return  # Yes
rc=$(wait_exit) || exit 1
[ "$rc" = 0 ] || fail "--ships: exit code $rc, expected 0"
[ ! -e "$root/models/ships-not-now" ] || fail "the marker stayed after Yes"
[ -f "$root/models/type00.hvm" ] || fail "no model file after Yes"
expect_log "ships: not now" "ships: DONE" "ships: installed"
echo "ok [$scenario]"
