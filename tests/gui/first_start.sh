#!/usr/bin/env bash
# The first start through its real windows: the information box; the
# open-file dialog given a wrong image, which brings the warning and the
# information box again; the dialog cancelled, which brings the information
# box once more; then the image, the status window during the copy, the ships
# question answered Yes, the status window following the ship setup's
# progress; exit 0, everything logged.
. "$(dirname "$0")/lib.sh"
wrong="$HV_BUILD/test-images/level1.iso"
image="$HV_BUILD/test-images/full.iso"
make_release '#!sleep 300
STEP Building hulls
PROGRESS 1 3
#!sleep 1200
PROGRESS 2 3
#!sleep 1200
#!write models/type00.hvm
DONE
'
in_background wine "$root/Play Halvorn Glint.exe"
seen=()  # the boxes answered so far (one may linger a moment)
box() {  # the next box, answered with the key $1
  within 60 new_window '^Halvorn Glint$' "${seen[@]}" || fail "no box: expected $2"
  seen+=("$w")
  answer "$w" "$1"
}
box Return "the information box"
pick "$wrong"
box Return "the warning about the wrong image"
box Return "the information box after the warning"
within 30 new_window "$dialog_name" || fail "no open-file dialog after the warning"
answer "$w" Escape
box Return "the information box after the cancelled dialog"
pick "$image"
# The copy takes a second or two; its window is caught while it shows.
within 20 new_window '^Installing Halvorn from your disc image\.\.\.$' ||
  fail "no status window during the copy"
box Return "the ships question"  # Yes is the first button
within 20 new_window '^(Getting the 3D ships|Building hulls)' || fail "no status window for the ships"
within 20 reads "$w" 'Building hulls 1 of 3' || fail "the status never read 'Building hulls 1 of 3'"
within 20 reads "$w" 'Building hulls 2 of 3' || fail "the status never read 'Building hulls 2 of 3'"
expect_exit 0 60
data=$(winpath "$root/data/HV1")
expect_log "setup: data in $data" "picked $(winpath "$wrong")" \
  'image: GAMEDAT\CAMPAIGN.DAT missing or another size' \
  "$(winpath "$wrong"): not the Morvath Saga's disc 1" "picked $(winpath "$image")" \
  "installed 125 files from $(winpath "$image") into $data: done" "setup done" \
  "ships: STEP Building hulls" "ships: PROGRESS 1 3" "ships: PROGRESS 2 3" "ships: DONE" \
  "ships: installed"
