# Shared by the GUI scenarios: a display of their own, the build's Wine prefix
# (theirs while they run), a temporary release folder holding the Windows
# launcher, and bounded waits for its windows. What is started here ends with
# them. HV_BUILD: the Windows build folder. A scenario may set ships_script,
# the stand-in ship setup's script.
set -u
image="$HV_BUILD/test-images/full.iso"  # (unset, set -u ends the scenario here)
scenario=$(basename "$0" .sh)
work=$(mktemp -d "/tmp/hv-gui-$scenario.XXXXXX")
root="$work/Halvorn Glint"

# Ends the scenario, keeping a screenshot of how the screen looked.
fail() {
  echo "FAIL [$scenario]: $*" >&2
  mkdir -p "$HV_BUILD/screenshots"
  xwd -root -silent | convert xwd:- "$HV_BUILD/screenshots/$scenario.png"
  exit 1
}
cleanup() {
  wineserver -k 2>/dev/null
  kill $(jobs -p) 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Runs the command every 0.1 s until it succeeds, for at most $1 seconds.
within() {
  local end=$((SECONDS + $1))
  until "${@:2}"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}

# Xvfb picks a free display itself and names it once it is ready.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
within 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"

# The build's prefix (scripts/wine-run.sh), which the scenarios have to
# themselves (they run alone): its server, left by other tests or an earlier
# run, may be on no display or one gone since. The first program starts the
# prefix's services with no streams for them to hold, and makes Wine draw
# frames and captions (seen on the screenshots).
export WINEPREFIX=${HV_WINEPREFIX:-$HV_BUILD/wineprefix} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null
wineserver -p 60
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 ||
  fail "could not set up the Wine prefix"

# The release folder: the launcher, the stand-in game and ship setup.
mkdir -p "$root/bin/python" "$root/tools" "$root/models"
cp "$HV_BUILD/Play Halvorn Glint.exe" "$root/"
cp "$HV_BUILD/fixtures/hv1-glint.exe" "$root/bin/"
cp "$HV_BUILD/fixtures/python.exe" "$root/bin/python/"
printf '%s' "${ships_script:-}" > "$root/tools/install_ships.py"

# A Unix path as the Windows program sees it.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# Waits up to $2 s for the end of the program last started in the background
# (PROGRAM &); its exit code must be $1.
expect_exit() {
  within "$2" eval '! kill -0 $! 2>/dev/null' || fail "the program did not end within $2 s"
  wait $!
  local rc=$?
  [ "$rc" = "$1" ] || fail "exit code $rc, expected $1"
}

# Sets $w to a visible window named as the pattern (grep -E, a name's lines
# one text); false if there is none (xdotool's own answer).
new_window() {
  w=$(xdotool search --onlyvisible --limit 1 --name "$1" 2>/dev/null)
}

gone() { ! xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1"; }

# press PATTERN KEY [TEXT]: the next window named as the pattern, given the
# text typed and then the key as real input (XTEST) with it focused, the key
# again until the window goes (under load Wine has been seen to drop a key),
# so that the next search can't find it.
press() {
  within 60 new_window "$1" || fail "no window named as '$1'"
  xdotool windowfocus --sync "$w" 2>/dev/null
  [ -z "${3:-}" ] || xdotool type --delay 5 "$3"
  for _ in 1 2 3; do
    xdotool windowfocus --sync "$w" 2>/dev/null
    xdotool key "$2"
    within 5 gone "$w" && return
  done
  fail "window $w did not take $2"
}
