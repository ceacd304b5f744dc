#!/usr/bin/env bash
# The first start through its real windows: the information box, the
# open-file dialog given the image's path, the status window during the copy,
# the ships question answered Yes, the status window following the ship
# setup's progress; then exit 0, everything logged.
. "$(dirname "$0")/lib.sh"
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
start_and_pick "$image"
# The copy takes a second or two; its window is caught while it shows.
within 20 new_window '^Installing Halvorn from your disc image\.\.\.$' ||
  fail "no status window during the copy"
within 60 new_window '^Halvorn Glint$' "$info" || fail "no ships question"
answer "$w" Return  # Yes is the first button
within 20 new_window '^(Getting the 3D ships|Building hulls)' || fail "no status window for the ships"
within 20 reads "$w" 'Building hulls 1 of 3' || fail "the status never read 'Building hulls 1 of 3'"
within 20 reads "$w" 'Building hulls 2 of 3' || fail "the status never read 'Building hulls 2 of 3'"
expect_exit 0 60
data=$(winpath "$root/data/HV1")
expect_log "setup: data in $data" "picked $(winpath "$image")" \
  "installed 125 files from $(winpath "$image") into $data: done" "setup done" \
  "ships: STEP Building hulls" "ships: PROGRESS 1 3" "ships: PROGRESS 2 3" "ships: DONE" \
  "ships: installed"
