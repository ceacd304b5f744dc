#!/usr/bin/env bash
# The launcher through its real windows. The first start: the information
# box; the open-file dialog cancelled, which brings the information box again
# (what a wrong image brings is install_test's); then the image, the status
# window during the copy, the ships question answered Yes, the status window
# following the ship setup's progress; exit 0, everything logged. (The same
# start unattended, asking and showing nothing, is run_test's.) Then the ships
# again at the screen's DPI: the status window 460 x 90 pixels at 96 DPI,
# 690 x 135 at 144 and 920 x 180 at 192, centred on the 1280 x 800 screen,
# read back from the X server. Wine takes the DPI from the prefix
# (LogPixels; each program started reads it anew), put back to 96 at the end.
ships_script='STEP Building hulls
PROGRESS 2 3
#!sleep 2000
#!write models/type00.hvm
DONE
'
. "$(dirname "$0")/lib.sh"
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'set_dpi 96; cleanup' EXIT
in_background wine "$root/Play Halvorn Glint.exe"
press '^Halvorn Glint$' Return
press '^Your Halvorn' Escape
press '^Halvorn Glint$' Return
press '^Your Halvorn' Return "$(winpath "$image")"
# The copy takes a second or two; its window is caught while it shows.
within 20 new_window '^Installing Halvorn from your disc image\.\.\.$' ||
  fail "no status window during the copy"
press '^Halvorn Glint$' Return  # the ships question: Yes is the first button
within 20 new_window '^Building hulls.2 of 3' || fail "never read 'Building hulls 2 of 3'"
expect_exit 0 60
data=$(winpath "$root/data/HV1")
printf '%s\r\n' "setup: data in $data" "picked $(winpath "$image")" \
  "installed 125 files from $(winpath "$image") into $data: done" "setup done" \
  "ships: STEP Building hulls" "ships: PROGRESS 2 3" "ships: DONE" "ships: installed" |
  cmp -s - "$root/setup.log" || fail "setup.log: $(cat -A "$root/setup.log")"

for size in 96:460:90 144:690:135 192:920:180; do
  IFS=: read -r dpi width height <<<"$size"
  set_dpi "$dpi" || fail "could not set $dpi DPI"
  rm -f "$root/models/type00.hvm"
  in_background wine "$root/Play Halvorn Glint.exe" --ships --no-play
  press '^Halvorn Glint$' Return
  within 20 new_window '^(Getting the 3D ships|Building hulls)' || fail "no window at $dpi DPI"
  eval "$(xdotool getwindowgeometry --shell "$w")"
  [ "$WIDTH $HEIGHT $X $Y" = "$width $height $(((1280 - width) / 2)) $(((800 - height) / 2))" ] ||
    fail "at $dpi DPI the window is $WIDTH x $HEIGHT at $X,$Y (expected $width x $height centred)"
  expect_exit 0 30
done
