#!/usr/bin/env bash
# halvorn-disc reading disc 1 from a CD drive, as Wine gives a drive an image
# file for its disc: D: holds full.iso (disc 1), E: another disc. From a
# command prompt, a rip by the search (which names E:, and writes the image
# into the release folder); then as a player, each in a
# console of its own (as Explorer starts it) that waits for Enter: the
# program double-clicked, the drive D:\ dropped on it, and a raw image
# dropped on it (the .iso written beside the raw one). Every image is byte
# for byte the disc.
. "$(dirname "$0")/lib.sh"
image="$HV_BUILD/test-images/full.iso"
drives="$WINEPREFIX/dosdevices"
unmap() {
  for letter in d: e:; do
    rm -f "$drives/$letter" "$drives/$letter:"
    wine reg delete 'HKLM\Software\Wine\Drives' /v "$letter" /f >/dev/null 2>&1
  done
}
trap 'unmap; cleanup' EXIT
for drive in "d:$image" "e:$HV_BUILD/test-images/level1.iso"; do
  letter=${drive:0:2}
  mkdir -p "$work/$letter" && ln -s "${drive:2}" "$drives/$letter:" &&
    ln -s "$work/$letter" "$drives/$letter" &&
    wine reg add 'HKLM\Software\Wine\Drives' /v "$letter" /d cdrom /f >/dev/null 2>&1 ||
    fail "could not make $letter a CD drive"
done
wineserver -k 2>/dev/null
wineserver -w
wineserver -p 60
make_release ''
tool="$root/tools/halvorn-disc.exe"
cp "$HV_BUILD/halvorn-disc.exe" "$tool"

# The search from a command prompt: each drive said, D: chosen, the image
# written into the release folder.
wine "$tool" rip >"$work/search.txt" 2>/dev/null || fail "rip failed: $(cat "$work/search.txt")"
grep -q '^D: holds disc 1 of Halvorn' "$work/search.txt" &&
  grep -q '^E: holds another disc' "$work/search.txt" || fail "$(cat "$work/search.txt")"
cmp -s "$root/Morvath Saga disc 1.iso" "$image" || fail "the image the search ripped is not the disc"

# started_for_a_player FILE [ARG]: as Explorer starts it; waits for its
# console, for FILE, and for the window to stay until Enter (what is left to
# print then is a few short lines).
started_for_a_player() {
  rm -f "$work/rc"
  in_background wine start /wait "$(winpath "$tool")" ${2:+"$2"}
  within 30 new_window 'halvorn-disc\.exe$' || fail "no console window (${2:-double-click})"
  within 60 test -f "$1" || fail "no $1 (${2:-double-click})"
  sleep 2
  [ ! -s "$work/rc" ] || fail "the program ended without waiting for Enter"
  answer "$w" Return
  expect_exit 0 60
  cmp -s "$1" "$image" || fail "$1 is not the disc"
}
started_for_a_player "$root/Morvath Saga disc 1 (2).iso"
started_for_a_player "$root/Morvath Saga disc 1 (3).iso" 'D:\'
wine "$HV_BUILD/fixtures/make-raw-image.exe" "$(winpath "$image")" "$(winpath "$work/disc1.bin")" ||
  fail "make-raw-image"
started_for_a_player "$work/disc1.iso" "$(winpath "$work/disc1.bin")"
