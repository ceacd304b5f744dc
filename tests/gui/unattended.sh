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
[ "$rc" = 0 ] || fail "exit code $rc, expected 0"
expect_game_started
[ -f "$root/models/type00.hvm" ] || fail "no models\\type00.hvm"
diff -r "$HV_BUILD/test-images/trees/full/HV1" "$root/data/HV1" >/dev/null ||
  fail "the installed files differ from the image's"
data=$(winpath "$root/data/HV1")
expect_log "setup: data in $data" "installed 125 files from $(winpath "$image") into $data: done" \
  "setup done" "ships: STEP Building hulls" "ships: PROGRESS 1 2" "ships: DONE" "ships: installed"
echo "ok [$scenario]"
