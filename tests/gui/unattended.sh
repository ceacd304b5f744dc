#!/usr/bin/env bash
# "--setup-from" and "--ships-yes": the whole first start with no window at
# all (looked for as long as the launcher runs).
. "$(dirname "$0")/lib.sh"
image="$HV_BUILD/test-images/full.iso"
make_release 'STEP Building hulls
PROGRESS 1 2
#!sleep 500
#!write models/type00.hvm
DONE
'
in_background wine "$root/Play Halvorn Glint.exe" --setup-from "$(winpath "$image")" --ships-yes
within 120 ended_without_window || fail "the launcher did not end within 120 s"
expect_exit 0 0
data=$(winpath "$root/data/HV1")
expect_log "setup: data in $data" "installed 125 files from $(winpath "$image") into $data: done" \
  "setup done" "ships: STEP Building hulls" "ships: PROGRESS 1 2" "ships: DONE" "ships: installed"
