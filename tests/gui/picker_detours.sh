#!/usr/bin/env bash
# The picker's detours, through the real dialog: a wrong image picked gives
# the warning and the information box again; the dialog cancelled gives the
# information box again; Cancel there ends setup: exit 1, "setup not done"
# logged, no data directory, no game.
. "$(dirname "$0")/lib.sh"
image="$HV_BUILD/test-images/level1.iso"
start_display
start_wine
make_release
to_file_dialog
pick_file "$dialog" "$(winpath "$image")"
warning=$(next_box 30 "$info") || exit 1
screenshot "warning-box"
answer "$warning" Return
again=$(next_box 30 "$info" "$warning") || exit 1
screenshot "information-box-again"
answer "$again" Return
dialog=$(wait_window '^Your Halvorn: The Morvath Saga disc image \(disc 1\)$') || exit 1
answer "$dialog" Escape
wait_gone "$dialog"
last=$(next_box 30 "$info" "$warning" "$again") || exit 1
screenshot "information-box-after-cancel"
answer "$last" Escape
rc=$(wait_exit) || exit 1
[ "$rc" = 1 ] || fail "exit code $rc, expected 1"
[ ! -e "$root/data" ] || fail "a data directory was made"
[ ! -e "$game_record" ] || fail "the game was started"
i=$(winpath "$image")
expect_log "setup: data in $(winpath "$root/data/HV1")" "picked $i" \
  'image: GAMEDAT\CAMPAIGN.DAT missing or another size' "$i: not the Morvath Saga's disc 1" \
  "setup not done"
echo "ok [$scenario]"
