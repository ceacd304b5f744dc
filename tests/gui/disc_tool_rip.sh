#!/usr/bin/env bash
# halvorn-disc reading disc 1 from a CD drive, as Wine gives a drive an image
# file for its disc: D: holds full.iso (disc 1), E: another disc. From a
# command prompt, a rip by letter and one by the search (which names E:, and
# writes the image into the release folder); then as a player, the program
# double-clicked and the drive D:\ dropped on it, each in a console of its
# own that waits for Enter. Every image is byte for byte the disc.
. "$(dirname "$0")/lib.sh"
image="$HV_BUILD/test-images/full.iso"
drives="$WINEPREFIX/dosdevices"
unmap() {
  rm -f "$drives/d:" "$drives/d::" "$drives/e:" "$drives/e::"
  wine reg delete 'HKLM\Software\Wine\Drives' /v d: /f >/dev/null 2>&1
  wine reg delete 'HKLM\Software\Wine\Drives' /v e: /f >/dev/null 2>&1
}
trap 'unmap; cleanup' EXIT
mkdir -p "$work/d" "$work/e"
ln -s "$image" "$drives/d::" && ln -s "$work/d" "$drives/d:" &&
  ln -s "$HV_BUILD/test-images/level1.iso" "$drives/e::" && ln -s "$work/e" "$drives/e:" ||
  fail "could not map the drives"
for letter in d: e:; do
  wine reg add 'HKLM\Software\Wine\Drives' /v "$letter" /d cdrom /f >/dev/null 2>&1 ||
    fail "could not make $letter a CD drive"
done
wineserver -k 2>/dev/null
wineserver -w
wineserver -p 60
make_release ''
mkdir -p "$root/tools"
cp "$HV_BUILD/halvorn-disc.exe" "$root/tools/"
tool="$root/tools/halvorn-disc.exe"

wine "$tool" rip D: "$(winpath "$work/by-letter.iso")" >"$work/by-letter.txt" 2>/dev/null ||
  fail "rip D: failed: $(cat "$work/by-letter.txt")"
cmp -s "$work/by-letter.iso" "$image" || fail "the image ripped from D: is not the disc"
grep -q 'Halvorn Glint can install from' "$work/by-letter.txt" || fail "$(cat "$work/by-letter.txt")"

# The search from a command prompt: each drive said, D: chosen, the image
# written into the release folder.
wine "$tool" rip >"$work/search.txt" 2>/dev/null || fail "rip failed: $(cat "$work/search.txt")"
grep -q '^D: holds disc 1 of Halvorn' "$work/search.txt" &&
  grep -q '^E: holds another disc' "$work/search.txt" || fail "$(cat "$work/search.txt")"
cmp -s "$root/Morvath Saga disc 1.iso" "$image" || fail "the image the search ripped is not the disc"

# started_for_a_player FILE [ARG]: as Explorer starts it; waits for its
# console, for FILE, and for the window to stay until Enter.
started_for_a_player() {
  rm -f "$work/rc"
  in_background wine start /wait "$(winpath "$tool")" ${2:+"$2"}
  within 30 new_window 'halvorn-disc\.exe$' || fail "no console window (${2:-double-click})"
  within 60 test -f "$1" || fail "no $1 (${2:-double-click})"
  sleep 3
  [ ! -s "$work/rc" ] || fail "the program ended without waiting for Enter"
  answer "$w" Return
  expect_exit 0 60
  cmp -s "$1" "$image" || fail "$1 is not the disc"
}
started_for_a_player "$root/Morvath Saga disc 1 (2).iso"
started_for_a_player "$root/Morvath Saga disc 1 (3).iso" 'D:\'
