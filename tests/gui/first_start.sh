#!/usr/bin/env bash
# The first start, step by step, as a person makes it: the information box,
# the open-file dialog given the image's path, the status window during the
# copy, the ships question answered Yes, the status window following the
# ship setup's progress, the game started with --dx12 in data\HV1.
. "$(dirname "$0")/lib.sh"
image="$HV_BUILD/test-images/full.iso"
start_display
start_wine
make_release
with_ships '#!sleep 300
STEP Building hulls
PROGRESS 1 3
#!sleep 1200
PROGRESS 2 3
#!sleep 1200
#!write models/type00.hvm
DONE
'
to_file_dialog
pick_file "$dialog" "$(winpath "$image")"
# The copy takes a second or two; its window is caught while it shows.
copying=$(wait_window '^Installing Halvorn from your disc image\.\.\.$' 20) || exit 1
screenshot "status-copy"
question=$(wait_window '^Halvorn Glint$' 60) || exit 1
[ "$question" != "$info" ] || fail "the information box is still there"
screenshot "ships-question"
answer "$question" Return  # Yes is the first button
ships=$(wait_window '^(Getting the 3D ships|Building hulls)' 20) || exit 1
wait_text "$ships" 'Building hulls 1 of 3' >/dev/null
screenshot "status-ships-1"
wait_text "$ships" 'Building hulls 2 of 3' >/dev/null
screenshot "status-ships-2"
rc=$(wait_exit 60) || exit 1
expect_first_start_done "$rc"
data=$(winpath "$root/data/HV1")
expect_log "setup: data in $data" "picked $(winpath "$image")" \
  "installed 125 files from $(winpath "$image") into $data: done" "setup done" \
  "ships: STEP Building hulls" "ships: PROGRESS 1 3" "ships: PROGRESS 2 3" "ships: DONE" \
  "ships: installed"
echo "ok [$scenario]"
