#!/usr/bin/env bash
# A release folder that can't be written (made so with chattr +i, which holds
# even for root, as Wine runs here): the box about the log comes before the
# first question, the image is picked, and the box naming the folder ends
# setup (exit 1) without asking again. Each box's text is read back as Wine
# shows it (its msgbox trace).
. "$(dirname "$0")/lib.sh"
image="$HV_BUILD/test-images/full.iso"
make_release ''
chattr +i "$root" 2>/dev/null || { echo "SKIP: chattr +i is not supported here"; exit 77; }
trap 'chattr -i "$root"; cleanup' EXIT
(WINEDEBUG=+msgbox wine "$root/Play Halvorn Glint.exe" 2>"$work/trace"; echo $? >"$work/rc") &
pids+=($!)
seen=()
# box PATTERN: the next box, whose text must match PATTERN (grep -E), answered OK.
box() {
  within 60 new_window '^Halvorn Glint$' "${seen[@]}" || fail "no box: expected $1"
  seen+=("$w")
  within 5 grep -a -q 'MSGBOX_OnInit' "$work/trace" || fail "no msgbox trace"
  grep -a 'MSGBOX_OnInit' "$work/trace" | tail -n 1 | grep -E -q "$1" ||
    fail "the box says: $(grep -a 'MSGBOX_OnInit' "$work/trace" | tail -n 1)"
  answer "$w" Return
}
data=$(winpath "$root/data/HV1" | sed 's/\\/\\\\\\\\/g')
box "can't write its log file .*setup\.log \(access is denied\)"
box "Choose the image file"
pick "$image"
box "can't write the game data into its folder \(access is denied\):\\\\n\\\\n$data\\\\n\\\\nMove the whole"
expect_exit 1 30
[ "$(grep -a -c 'MSGBOX_OnInit' "$work/trace")" = 3 ] || fail "asked again after the folder box"
[ ! -e "$root/data" ] || fail "something was written"
