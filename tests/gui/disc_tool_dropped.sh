#!/usr/bin/env bash
# A raw image dropped on halvorn-disc.exe, started as Explorer starts it (a
# console window of its own): the .iso is written beside the image, byte for
# byte the original, the launcher accepts it (exit 0), and the window stays
# until Enter is pressed.
. "$(dirname "$0")/lib.sh"
start_display
start_wine
cp "$HV_BUILD/halvorn-disc.exe" "$work/"
wine "$HV_BUILD/fixtures/make-raw-image.exe" "$(winpath "$HV_BUILD/test-images/full.iso")" \
  "$(winpath "$work/disc1.bin")" mode1 || fail "make-raw-image"
rm -f "$work/rc"
(wine start /wait "$(winpath "$work/halvorn-disc.exe")" "$(winpath "$work/disc1.bin")"
 echo $? > "$work/rc") &
pids+=($!)
console=$(wait_window 'halvorn-disc\.exe$') || exit 1
for i in $(seq 1 300); do
  [ -f "$work/disc1.iso" ] && break
  sleep 0.1
done
cmp -s "$work/disc1.iso" "$HV_BUILD/test-images/full.iso" || fail "disc1.iso is not full.iso"
# What is left to print is four short lines; then it waits.
sleep 3
[ ! -s "$work/rc" ] || fail "the program ended without waiting for Enter"
screenshot "waiting-for-enter"
answer "$console" Return
rc=$(wait_exit) || exit 1
[ "$rc" = 0 ] || fail "exit code $rc, expected 0 (the launcher accepts full.iso)"
echo "ok [$scenario]"
