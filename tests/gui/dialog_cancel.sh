#!/usr/bin/env bash
# The file dialog cancelled: back to the information box, not out of setup;
# Cancel there ends setup with exit 1.
. "$(dirname "$0")/lib.sh"
start_display
start_wine
make_release
to_file_dialog
answer "$dialog" Escape
wait_gone "$dialog"
again=$(next_box 30 "$info") || exit 1
screenshot "information-box-after-cancel"
answer "$again" Escape
rc=$(wait_exit) || exit 1
[ "$rc" = 1 ] || fail "exit code $rc, expected 1"
expect_log "setup: data in $(winpath "$root/data/HV1")" "setup not done"
echo "ok [$scenario]"
