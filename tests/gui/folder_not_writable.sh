#!/usr/bin/env bash
# A release folder that can't be written (made so with chattr +i, which holds
# even for root, as Wine runs here): the box about the log comes before the
# first question, the image is picked, and the box about the folder ends
# setup (exit 1) without asking again; nothing is written. The two boxes
# saying why are read back as Wine shows them (its msgbox trace); their whole
# wording is install_test's.
. "$(dirname "$0")/lib.sh"
chattr +i "$root" 2>/dev/null || { echo "SKIP: chattr +i is not supported here"; exit 77; }
trap 'chattr -i "$root"; cleanup' EXIT
env WINEDEBUG=+msgbox wine "$root/Play Halvorn Glint.exe" 2>"$work/trace" &
press '^Halvorn Glint$' Return
press '^Halvorn Glint$' Return
press '^Your Halvorn' Return "$(winpath "$image")"
press '^Halvorn Glint$' Return
expect_exit 1 30
boxes=$(grep -a 'MSGBOX_OnInit' "$work/trace")
[ "$(grep -c -e "setup.log (access is denied)" -e "folder (access is denied)" <<<"$boxes")" = 2 ] ||
  fail "the boxes said: $boxes"
[ ! -e "$root/data" ] || fail "something was written"
