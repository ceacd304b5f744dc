#!/usr/bin/env bash
# The launcher through its real windows. The first start: the information
# box; the open-file dialog cancelled, which brings the information box again
# (what a wrong image brings is install_test's); then the image, the status
# window during the copy, the ships question answered Yes, the status window
# following the ship setup's progress; exit 0, everything logged. The same
# first start unattended ("--setup-from", "--ships-yes"): no window at all
# (looked for as long as the launcher runs), the same log. Then the ships
# again at the screen's DPI: the status window 460 x 90 pixels at 96 DPI,
# 690 x 135 at 144 and 920 x 180 at 192, centred on the 1280 x 800 screen,
# read back from the X server. Wine takes the DPI from the prefix
# (LogPixels; each program started reads it anew), put back to 96 at the end.
. "$(dirname "$0")/lib.sh"
image="$HV_BUILD/test-images/full.iso"
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'set_dpi 96; cleanup' EXIT
make_release '#!sleep 300
STEP Building hulls
PROGRESS 1 3
PROGRESS 2 3
#!sleep 2000
#!write models/type00.hvm
DONE
'
in_background wine "$root/Play Halvorn Glint.exe"
box Return "the information box"
within 30 new_window "$dialog_name" || fail "no open-file dialog"
answer "$w" Escape
box Return "the information box after the cancelled dialog"
pick "$image"
# The copy takes a second or two; its window is caught while it shows.
within 20 new_window '^Installing Halvorn from your disc image\.\.\.$' ||
  fail "no status window during the copy"
box Return "the ships question"  # Yes is the first button
within 20 new_window '^(Getting the 3D ships|Building hulls)' || fail "no status window for the ships"
within 20 reads "$w" 'Building hulls 2 of 3' || fail "the status never read 'Building hulls 2 of 3'"
expect_exit 0 60
data=$(winpath "$root/data/HV1")
installed="installed 125 files from $(winpath "$image") into $data: done"
ships=("ships: STEP Building hulls" "ships: PROGRESS 1 3" "ships: PROGRESS 2 3" "ships: DONE"
       "ships: installed")
expect_log "setup: data in $data" "picked $(winpath "$image")" "$installed" "setup done" \
  "${ships[@]}"

rm -rf "$root/data" "$root/setup.log" "$root/models/type00.hvm" "$work/rc"
in_background wine "$root/Play Halvorn Glint.exe" --setup-from "$(winpath "$image")" --ships-yes
within 120 ended_without_window || fail "the unattended start did not end within 120 s"
expect_exit 0 0
expect_log "setup: data in $data" "$installed" "setup done" "${ships[@]}"

for dpi_size in 96:460x90 144:690x135 192:920x180; do
  dpi=${dpi_size%%:*} size=${dpi_size#*:}
  set_dpi "$dpi" || fail "could not set $dpi DPI"
  rm -f "$work/rc" "$root/models/type00.hvm"
  seen=()  # X reuses the ids of the windows of a program that ended
  in_background wine "$root/Play Halvorn Glint.exe" --ships --no-play
  box Return "the ships question at $dpi DPI"
  within 20 new_window '^(Getting the 3D ships|Building hulls)' ||
    fail "no status window at $dpi DPI"
  geometry=$(xdotool getwindowgeometry "$w")
  w_px=${size%x*} h_px=${size#*x}
  want="Position: $(((1280 - w_px) / 2)),$(((800 - h_px) / 2)) .*Geometry: $size"
  tr '\n' ' ' <<<"$geometry" | grep -E -q "$want" ||
    fail "at $dpi DPI the window is: $geometry (expected $size centred)"
  expect_exit 0 30
done
