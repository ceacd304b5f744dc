#!/usr/bin/env bash
# The picker's detours through the real windows: a wrong image picked gives
# the warning and the information box again; the dialog cancelled gives the
# information box again; Cancel there ends setup: exit 1, "setup not done".
. "$(dirname "$0")/lib.sh"
image="$HV_BUILD/test-images/level1.iso"
make_release
start_and_pick "$image"
within 30 new_window '^Halvorn Glint$' "$info" || fail "no warning"
warning=$w
answer "$warning" Return
within 30 new_window '^Halvorn Glint$' "$info" "$warning" || fail "no information box after the warning"
again=$w
answer "$again" Return
within 30 new_window "$dialog_name" || fail "no open-file dialog after the warning"
answer "$w" Escape
within 30 new_window '^Halvorn Glint$' "$info" "$warning" "$again" ||
  fail "no information box after the cancelled dialog"
answer "$w" Escape
expect_exit 1 60
i=$(winpath "$image")
expect_log "setup: data in $(winpath "$root/data/HV1")" "picked $i" \
  'image: GAMEDAT\CAMPAIGN.DAT missing or another size' "$i: not the Morvath Saga's disc 1" \
  "setup not done"
