# Shared by the GUI scenarios: a display of their own, the build's Wine prefix
# (theirs while they run), the Windows launcher in a temporary release folder,
# and bounded waits for its windows. What is started here ends with them.
set -u
HV_BUILD=${HV_BUILD:?HV_BUILD: the Windows build folder}
scenario=$(basename "$0" .sh)
work=$(mktemp -d "/tmp/hv-gui-$scenario.XXXXXX")
root="$work/Halvorn Glint"
dialog_name='^Your Halvorn: The Morvath Saga disc image \(disc 1\)$'
pids=()

# Ends the scenario, keeping a screenshot of how the screen looked.
fail() {
  echo "FAIL [$scenario]: $*" >&2
  [ ! -s "$work/rc" ] || echo "(the program had ended: exit $(cat "$work/rc"))" >&2
  mkdir -p "$HV_BUILD/screenshots"
  xwd -root -silent | convert xwd:- "$HV_BUILD/screenshots/$scenario.png"
  exit 1
}
cleanup() {
  wineserver -k 2>/dev/null
  kill "${pids[@]}" 2>/dev/null
  wait
  rm -rf "$work"
}
trap cleanup EXIT

# Runs the command every 0.1 s until it succeeds, for at most $1 seconds.
within() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}

# Xvfb picks a free display itself and names it once it is ready.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
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

# The release folder: the launcher, the stand-in game, and the stand-in ship
# setup playing the script given.
make_release() {
  mkdir -p "$root/bin/python" "$root/tools" "$root/models" "$root/cutscenes"
  cp "$HV_BUILD/Play Halvorn Glint.exe" "$root/"
  cp "$HV_BUILD/fixtures/hv1-glint.exe" "$root/bin/"
  cp "$HV_BUILD/fixtures/python.exe" "$root/bin/python/"
  printf '%s' "${1:-}" > "$root/tools/install_ships.py"
}

# A Unix path as the Windows program sees it.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# Starts the command in the background; its exit code lands in $work/rc.
in_background() {
  ("$@"; echo $? > "$work/rc") &
  pids+=($!)
}

# Waits up to $2 s for the started command's end; its exit code must be $1.
expect_exit() {
  within "$2" test -s "$work/rc" || fail "the program did not end within $2 s"
  [ "$(cat "$work/rc")" = "$1" ] || fail "exit code $(cat "$work/rc"), expected $1"
}

# True once the started command has ended; fails if a window shows before.
ended_without_window() {
  local shown
  shown=$(xdotool search --onlyvisible --name . 2>/dev/null | head -n 1)
  [ -z "$shown" ] || fail "a window showed: $(xdotool getwindowname "$shown")"
  [ -s "$work/rc" ]
}

# Sets $w to a visible window named as the pattern, other than the ids given
# after it (a box answered may linger a moment); false if there is none.
new_window() {
  w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -vxFf <(printf '%s\n' "${@:2}") |
      head -n 1)
  [ -n "$w" ]
}

# True when window $1's name, all its lines, matches the pattern (grep -E).
reads() { xdotool getwindowname "$1" 2>/dev/null | tr '\n' ' ' | grep -Eq "$2"; }

gone() { ! xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1"; }

# Presses the key as real input (XTEST) with window $1 focused, until the
# window goes: under load Wine has been seen to drop a key.
answer() {
  for _ in 1 2 3; do
    xdotool windowfocus --sync "$1" 2>/dev/null
    xdotool key "$2"
    within 5 gone "$1" && return
  done
  fail "window $1 did not take $2"
}

# Answers the next box (a window named as the game, other than those answered
# already: one may linger a moment) with the key $1; $2 says which box.
seen=()
box() {
  within 60 new_window '^Halvorn Glint$' "${seen[@]}" || fail "no box: expected $2"
  seen+=("$w")
  answer "$w" "$1"
}

# Gives the open-file dialog, once it shows, the file $1.
pick() {
  within 30 new_window "$dialog_name" || fail "no open-file dialog"
  xdotool windowfocus --sync "$w" 2>/dev/null
  xdotool type --delay 5 "$(winpath "$1")"
  answer "$w" Return
}

# The setup log against the lines given, with their CR LF ends.
expect_log() {
  printf '%s\r\n' "$@" | cmp -s - "$root/setup.log" ||
    fail "setup.log is not as expected: $(cat -A "$root/setup.log")"
}
