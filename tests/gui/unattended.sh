#!/usr/bin/env bash
# "--setup-from" and "--ships-yes": the whole first start with no window at
# all (checked for as long as the launcher runs).
. "$(dirname "$0")/lib.sh"
image="$HV_BUILD/test-images/full.iso"
start_display
start_wine
make_release
with_ships 'STEP Building hulls
PROGRESS 1 2
#!sleep 500
#!write models/type00.hvm
DONE
'
start_launcher --setup-from "$(winpath "$image")" --ships-yes
rc=$(wait_exit_without_windows 120) || exit 1
expect_first_start_done "$rc"
data=$(winpath "$root/data/HV1")
expect_log "setup: data in $data" "installed 125 files from $(winpath "$image") into $data: done" \
  "setup done" "ships: STEP Building hulls" "ships: PROGRESS 1 2" "ships: DONE" "ships: installed"
echo "ok [$scenario]"
