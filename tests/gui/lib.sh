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

# The release folder: the launcher, the stand-in game and, if asked, data.
make_release() {
  mkdir -p "$root/bin/python" "$root/tools" "$root/models" "$root/cutscenes"
  cp "$HV_BUILD/Play Halvorn Glint.exe" "$root/"
  [ "${1:-}" = "no-game" ] || cp "$HV_BUILD/fixtures/hv1-glint.exe" "$root/bin/"
}

with_data() {
  local i
  mkdir -p "$root/data/HV1/GAMEDAT"
  for i in $(seq 1 20); do echo x > "$root/data/HV1/GAMEDAT/F$i.DAT"; done
}

# Starts the launcher with the given arguments; its exit code lands in $work/rc.
start_launcher() {
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

press() {
  local w=$1; shift
  xdotool windowfocus --sync "$w" 2>/dev/null || true
  xdotool key --window "$w" "$@"
}

screenshot() {
  mkdir -p "$shots_dir"
  [ -n "${DISPLAY:-}" ] || return 0
  xwd -root -silent 2>/dev/null | convert xwd:- "$shots_dir/$scenario-$1.png" 2>/dev/null || true
}
