#!/usr/bin/env bash
# A wrong image picked: the warning box, then Cancel at the information box:
# exit 1, "setup not done" logged, the data directory as it was (absent).
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
answer "$again" Escape
rc=$(wait_exit) || exit 1
[ "$rc" = 1 ] || fail "exit code $rc, expected 1"
[ ! -e "$root/data" ] || fail "a data directory was made"
[ ! -e "$game_record" ] || fail "the game was started"
i=$(winpath "$image")
expect_log "setup: data in $(winpath "$root/data/HV1")" "picked $i" \
  'image: GAMEDAT\CAMPAIGN.DAT missing or another size' "$i: not the Morvath Saga's disc 1" \
  "setup not done"
echo "ok [$scenario]"
