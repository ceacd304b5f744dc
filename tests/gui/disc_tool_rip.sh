#!/usr/bin/env bash
# halvorn-disc reading disc 1 from a CD drive, as Wine gives a drive an image
# file for its disc: D: holds full.iso (disc 1), E: another disc. From a
# command prompt, a rip by the search (which names E:, and writes the image
# into the release folder); then as a player, each in a console of its own
# (as Explorer starts it) that waits for Enter: the program double-clicked,
# the drive D:\ dropped on it, and a raw image dropped on it (the .iso written
# beside the raw one). Every image is byte for byte the disc.
. "$(dirname "$0")/lib.sh"
drives="$WINEPREFIX/dosdevices"
cd_drives() {  # add or delete: D: and E: as CD drives in the registry
  for letter in d: e:; do
    wine reg "$1" 'HKLM\Software\Wine\Drives' /v "$letter" "${@:2}" /f >/dev/null 2>&1
  done
}
trap 'rm -f "$drives"/[de]:*; cd_drives delete; cleanup' EXIT
# Each drive: its device the image, its mounted folder an empty one.
mkdir "$work/mnt"
ln -s "$image" "$drives/d::" && ln -s "$HV_BUILD/test-images/level1.iso" "$drives/e::" &&
  ln -s "$work/mnt" "$drives/d:" && ln -s "$work/mnt" "$drives/e:" && cd_drives add /d cdrom ||
  fail "could not make D: and E: CD drives"
wineserver -k 2>/dev/null
wineserver -w
wineserver -p 60
tool="$root/tools/halvorn-disc.exe"
cp "$HV_BUILD/halvorn-disc.exe" "$tool"

# The search from a command prompt: each drive said (D: chosen: what it
# writes is checked on the rips below).
wine "$tool" rip 2>/dev/null | grep -Ec '^(D: holds disc 1 of Halvorn|E: holds another disc)' |
  grep -qx 2 || fail "the search did not name D: and E: as it should"

# started_for_a_player FILE [ARG]: as Explorer starts it; waits for FILE, and
# for the console window to stay until Enter (what is left to print then is a
# few short lines).
started_for_a_player() {
  wine start /wait "$(winpath "$tool")" ${2:+"$2"} &
  within 60 test -f "$1" || fail "no $1 (${2:-double-click})"
  sleep 2
  kill -0 $! || fail "the program ended without waiting for Enter"
  press 'halvorn-disc\.exe$' Return
  expect_exit 0 60
  cmp -s "$1" "$image" || fail "$1 is not the disc"
}
started_for_a_player "$root/Morvath Saga disc 1 (2).iso"
started_for_a_player "$root/Morvath Saga disc 1 (3).iso" 'D:\'
wine "$HV_BUILD/fixtures/make-raw-image.exe" "$(winpath "$image")" "$(winpath "$work/disc1.bin")" ||
  fail "make-raw-image"
started_for_a_player "$work/disc1.iso" "$(winpath "$work/disc1.bin")"
