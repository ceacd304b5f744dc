#!/usr/bin/env bash
# The launcher through its real windows. The first start: the information
# box; the open-file dialog given the image (a cancelled dialog or a wrong
# image is install_test's); the ships question answered Yes, the status
# window following the ship setup's progress; exit 0, the install logged.
# (The same start unattended, asking and showing nothing, is run_test's; the
# copy's status window and each log line, the ships' too, are install_test's
# and run_test's.) Then the ships again at 192 DPI: the status window 920 x
# 180 pixels (460 x 90 scaled), centred on the 1280 x 800 screen, read back
# from the X server (other DPIs are status_window_test's). Wine takes the DPI
# from the prefix (LogPixels; each program started reads it anew), put back
# to 96 at the end.
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
wine "$root/Play Halvorn Glint.exe" &
press '^Halvorn Glint$' Return
press '^Your Halvorn' Return "$(winpath "$image")"
press '^Halvorn Glint$' Return  # the ships question: Yes is the first button
within 20 new_window '^Building hulls.2 of 3' || fail "never read 'Building hulls 2 of 3'"
expect_exit 0 60
installed="installed 125 files from $(winpath "$image") into $(winpath "$root/data/HV1"): done"
grep -qxF "$installed"$'\r' "$root/setup.log" || fail "setup.log: $(cat -A "$root/setup.log")"

set_dpi 192 || fail "could not set 192 DPI"
rm "$root/models/type00.hvm"
wine "$root/Play Halvorn Glint.exe" --ships --no-play &
press '^Halvorn Glint$' Return
within 20 new_window '^(Getting the 3D ships|Building hulls)' || fail "no window at 192 DPI"
eval "$(xdotool getwindowgeometry --shell "$w")"
[ "$WIDTH $HEIGHT $X $Y" = "920 180 180 310" ] ||
  fail "at 192 DPI the window is $WIDTH x $HEIGHT at $X,$Y, not 920 x 180 at 180,310"
expect_exit 0 30
