#!/usr/bin/env bash
# A raw image dropped on halvorn-disc.exe, started as Explorer starts it (a
# console window of its own): the .iso is written beside the image, byte for
# byte the original, the launcher accepts it (exit 0), and the window stays
# until Enter is pressed.
. "$(dirname "$0")/lib.sh"
image="$HV_BUILD/test-images/full.iso"
cp "$HV_BUILD/halvorn-disc.exe" "$work/"
wine "$HV_BUILD/fixtures/make-raw-image.exe" "$(winpath "$image")" "$(winpath "$work/disc1.bin")" ||
  fail "make-raw-image"
in_background wine start /wait "$(winpath "$work/halvorn-disc.exe")" "$(winpath "$work/disc1.bin")"
within 30 new_window 'halvorn-disc\.exe$' || fail "no console window"
within 30 test -f "$work/disc1.iso" || fail "no disc1.iso"
cmp -s "$work/disc1.iso" "$image" || fail "disc1.iso is not full.iso"
# What is left to print is four short lines; then it waits.
sleep 3
[ ! -s "$work/rc" ] || fail "the program ended without waiting for Enter"
answer "$w" Return
expect_exit 0 60
