#!/usr/bin/env bash
# The status window at the screen's DPI: 460 x 90 pixels at 96 DPI, 690 x 135
# at 144 and 920 x 180 at 192, centred on the 1280 x 800 screen, read back
# from the X server while the ship setup runs. Wine takes the DPI from the
# prefix (LogPixels; each program started reads it anew), put back to 96 at
# the end.
. "$(dirname "$0")/lib.sh"
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'set_dpi 96; cleanup' EXIT
make_release '#!sleep 2000
#!write models/type00.hvm
DONE
'
mkdir -p "$root/data/HV1/GAMEDAT"
touch "$root/data/HV1/GAMEDAT/F"{1..20}.DAT
for dpi_size in 96:460x90 144:690x135 192:920x180; do
  dpi=${dpi_size%%:*} size=${dpi_size#*:}
  set_dpi "$dpi" || fail "could not set $dpi DPI"
  rm -f "$work/rc" "$root/models/type00.hvm"
  seen=()  # X reuses the ids of the windows of a program that ended
  in_background wine "$root/Play Halvorn Glint.exe" --ships --no-play
  box Return "the ships question at $dpi DPI"
  within 20 new_window '^Getting the 3D ships' || fail "no status window at $dpi DPI"
  geometry=$(xdotool getwindowgeometry "$w")
  w_px=${size%x*} h_px=${size#*x}
  want="Position: $(((1280 - w_px) / 2)),$(((800 - h_px) / 2)) .*Geometry: $size"
  tr '\n' ' ' <<<"$geometry" | grep -E -q "$want" ||
    fail "at $dpi DPI the window is: $geometry (expected $size centred)"
  expect_exit 0 30
done
