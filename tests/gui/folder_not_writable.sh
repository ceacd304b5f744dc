#!/usr/bin/env bash
# A release folder that can't be written (made so with chattr +i, which holds
# even for root, as Wine runs here): the box about the log comes before the
# first question, the image is picked, and the box naming the folder ends
# setup (exit 1) without asking again. The boxes' texts are read back as Wine
# shows them (its msgbox trace).
. "$(dirname "$0")/lib.sh"
image="$HV_BUILD/test-images/full.iso"
make_release ''
chattr +i "$root" 2>/dev/null || { echo "SKIP: chattr +i is not supported here"; exit 77; }
trap 'chattr -i "$root"; cleanup' EXIT
in_background env WINEDEBUG=+msgbox wine "$root/Play Halvorn Glint.exe" 2>"$work/trace"
box Return "the box about the log"
box Return "the first question"
pick "$image"
box Return "the box naming the folder"
expect_exit 1 30
# The three boxes in order, and no other.
data=$(winpath "$root/data/HV1" | sed 's/\\/\\\\\\\\/g')
want="can't write its log file .*setup\.log \(access is denied\).*Choose the image file.*"
want+="can't write the game data into its folder \(access is denied\):"
want+="\\\\n\\\\n$data\\\\n\\\\nMove the whole"
boxes=$(grep -a 'MSGBOX_OnInit' "$work/trace")
[ "$(wc -l <<<"$boxes")" = 3 ] && tr '\n' ' ' <<<"$boxes" | grep -E -q "$want" ||
  fail "the boxes said: $boxes"
[ ! -e "$root/data" ] || fail "something was written"
