# Shared by the GUI scenarios: a display, a Wine prefix, the Windows launcher in
# a temporary release folder, and bounded waits for its windows. Every process
# started here is ended by its id when the scenario ends.
set -u

HV_BUILD=${HV_BUILD:?HV_BUILD: the Windows build folder}
HV_SOURCE=${HV_SOURCE:?HV_SOURCE: the source folder}
shots_dir="$HV_BUILD/screenshots"
scenario=${scenario:-$(basename "$0" .sh)}
work=$(mktemp -d "/tmp/hv-gui-$scenario.XXXXXX")
root="$work/Halvorn Glint"
pids=()

fail() {
  echo "FAIL [$scenario]: $*" >&2
  screenshot "failure"
  exit 1
}

cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: the first free number from 90 on.
start_display() {
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "Xvfb did not start on $DISPLAY"
}

# One Wine prefix per scenario run, with Wine drawing frames and captions.
start_wine() {
  export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineserver -p 60
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 \
    || fail "could not set up the Wine prefix"
}

# The release folder: the launcher and the stand-in game.
make_release() {
  mkdir -p "$root/bin/python" "$root/tools" "$root/models" "$root/cutscenes"
  cp "$HV_BUILD/Play Halvorn Glint.exe" "$root/"
  cp "$HV_BUILD/fixtures/hv1-glint.exe" "$root/bin/"
}

# The ship setup: the stand-in interpreter and a script for it (the text given).
with_ships() {
  cp "$HV_BUILD/fixtures/python.exe" "$root/bin/python/python.exe"
  printf '%s' "$1" > "$root/tools/install_ships.py"
}

# A Unix path as the Windows program sees it.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# The stand-in game's record of its start, as a Windows path for it to write.
game_record="$work/game-started.txt"
export HV_STANDIN_RECORD
HV_STANDIN_RECORD=$(winpath "$game_record")

# The setup log's bytes against what they should be (CR LF line ends added).
expect_log() {
  printf '%s\r\n' "$@" > "$work/want.log"
  cmp -s "$work/want.log" "$root/setup.log" && return 0
  echo "setup.log differs; expected:" >&2
  cat -A "$work/want.log" >&2
  echo "got:" >&2
  cat -A "$root/setup.log" >&2
  fail "setup.log is not as expected"
}

# Every visible window with a name, one "id name" line each.
visible_windows() {
  local w
  for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    echo "$w $(xdotool getwindowname "$w" 2>/dev/null | head -n 1)"
  done
}

# Waits for the launcher's end while no window of it may show; prints the code.
wait_exit_without_windows() {
  local limit=${1:-120} i shown
  for i in $(seq 1 $((limit * 20))); do
    shown=$(visible_windows)
    [ -z "$shown" ] || fail "a window showed: $shown"
    if [ -s "$work/rc" ]; then cat "$work/rc"; return 0; fi
    sleep 0.05
  done
  fail "the launcher did not end within ${limit}s"
}

# Waits until window W's name matches the pattern (grep -E over its lines);
# prints the name.
wait_text() {
  local w=$1 pattern=$2 limit=${3:-30} i name
  for i in $(seq 1 $((limit * 20))); do
    name=$(xdotool getwindowname "$w" 2>/dev/null) || fail "window $w went away waiting for '$pattern'"
    if printf '%s' "$name" | tr '\n' ' ' | grep -Eq "$pattern"; then printf '%s' "$name"; return 0; fi
    sleep 0.05
  done
  fail "window $w never read '$pattern' within ${limit}s (it read '$name')"
}

# Waits for the game's record of its start; checks it ran with --dx12 in data\HV1.
expect_game_started() {
  local i
  for i in $(seq 1 200); do
    grep -q '^arg=--dx12$' "$game_record" 2>/dev/null && break
    sleep 0.05
  done
  grep -q '^argc=2$' "$game_record" 2>/dev/null || fail "the game was not started with one argument"
  grep -q '^arg=--dx12$' "$game_record" || fail "the game was not started with --dx12"
  grep -qi '^cwd=.*data.HV1$' "$game_record" || fail "the game did not start in data\\HV1: $(cat "$game_record")"
}

# Starts the launcher with no data, answers the information box with OK and
# waits for the open-file dialog; sets $info and $dialog to their ids.
to_file_dialog() {
  start_launcher
  info=$(next_box 30) || exit 1
  screenshot "information-box"
  answer "$info" Return
  dialog=$(wait_window '^Your Halvorn: The Morvath Saga disc image \(disc 1\)$') || exit 1
  screenshot "file-dialog"
}

# After a whole first start: exit 0, the game started, the model file
# written, and the data byte for byte the full-size image's.
expect_first_start_done() {
  [ "$1" = 0 ] || fail "exit code $1, expected 0"
  expect_game_started
  [ -f "$root/models/type00.hvm" ] || fail "no models\\type00.hvm"
  diff -r "$HV_BUILD/test-images/trees/full/HV1" "$root/data/HV1" >/dev/null ||
    fail "the installed files differ from the image's"
}

# Starts the launcher with the given arguments; its exit code lands in $work/rc.
start_launcher() {
  rm -f "$work/rc"
  (cd "$root" && wine "$root/Play Halvorn Glint.exe" "$@"; echo $? > "$work/rc") &
  pids+=($!)
}

# Waits until a window whose name matches the pattern shows; prints its id.
wait_window() {
  local pattern=$1 limit=${2:-30} i w
  for i in $(seq 1 $((limit * 10))); do
    w=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1)
    if [ -n "$w" ]; then echo "$w"; return 0; fi
    sleep 0.1
  done
  fail "no window named '$pattern' within ${limit}s"
}

wait_gone() {
  local w=$1 limit=${2:-30} i
  for i in $(seq 1 $((limit * 10))); do
    xdotool getwindowname "$w" >/dev/null 2>&1 || return 0
    xdotool search --onlyvisible --name '.' 2>/dev/null | grep -qx "$w" || return 0
    sleep 0.1
  done
  fail "window $w still there after ${limit}s"
}

# Waits for the launcher to end and prints its exit code.
wait_exit() {
  local limit=${1:-60} i
  for i in $(seq 1 $((limit * 10))); do
    if [ -s "$work/rc" ]; then cat "$work/rc"; return 0; fi
    sleep 0.1
  done
  fail "the launcher did not end within ${limit}s"
}


# Answers window W with a key, pressed as real input (XTEST) with W focused,
# and waits for W to go. The key is pressed again (up to three times, five
# seconds apart) while W stays: under load Wine has been seen to drop one.
answer() {
  local w=$1 key=$2 attempt i
  for attempt in 1 2 3; do
    xdotool windowfocus --sync "$w" 2>/dev/null || true
    xdotool key "$key"
    for i in $(seq 1 50); do
      xdotool search --onlyvisible --name '.' 2>/dev/null | grep -qx "$w" || return 0
      sleep 0.1
    done
  done
  fail "window $w did not take $key"
}

# Waits for a message box captioned "Halvorn Glint" other than the given
# window ids (a box answered may linger a moment); prints its id.
next_box() {
  local limit=$1 i w old
  shift
  for i in $(seq 1 $((limit * 10))); do
    for w in $(xdotool search --onlyvisible --name '^Halvorn Glint$' 2>/dev/null); do
      old=no
      for o in "$@"; do [ "$o" = "$w" ] && old=yes; done
      [ $old = no ] && { echo "$w"; return 0; }
    done
    sleep 0.1
  done
  fail "no new 'Halvorn Glint' box within ${limit}s"
}

# Types a path into the open-file dialog's name field and presses Enter.
pick_file() {
  xdotool windowfocus --sync "$1" 2>/dev/null || true
  xdotool type --delay 5 "$2"
  answer "$1" Return
}

screenshot() {
  mkdir -p "$shots_dir"
  [ -n "${DISPLAY:-}" ] || return 0
  xwd -root -silent 2>/dev/null | convert xwd:- "$shots_dir/$scenario-$1.png" 2>/dev/null || true
}
