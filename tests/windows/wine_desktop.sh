# SPDX-License-Identifier: MIT
# Sourced by the Windows end-to-end scripts: a scratch folder $work, a
# private X server that Wine's windows appear on, and helpers. Set $name
# (for messages), $root and $linux (the Linux build) before sourcing.
# The points pressed: end_point, strip_point, thumbnail_N, drag_source...
source "$linux/tests/screen_points.sh"
work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  "$root/scripts/wine-run.sh" --stop-server >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "$name: $*"; exit 1; }
# until_true SECONDS COMMAND...: true once COMMAND succeeds, polling.
until_true() {
  local deadline=$((SECONDS + $1))
  shift
  while [ $SECONDS -lt $deadline ]; do "$@" && return 0; sleep 0.2; done
  "$@"
}
wine_run() { "$root/scripts/wine-run.sh" "$@"; }

# Wine's server keeps the display its first program had: start afresh on ours.
wine_run --stop-server >/dev/null 2>&1 || true
# The server picks a free display itself and writes its number once it listens.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
server=$!
until_true 30 test -s "$work/display" || fail "no X server"
display=:$(head -n 1 "$work/display")
export DISPLAY=$display MERVANE_WINE_DISPLAY=$display
until_true 20 xdpyinfo >/dev/null 2>&1 || fail "no X server"

windows_titled() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }
count_titled() { windows_titled "$1" | grep -c . || true; }
# Conditions for until_true, looked at afresh on every try.
shown() { test -n "$(windows_titled "$1")"; }
titled_at_least() { test "$(count_titled "$1")" -ge "$2"; }
titled_exactly() { test "$(count_titled "$1")" -eq "$2"; }

# find_window: sets $window to Mervane's window and $left $top to the corner
# of its client area, which Wine gives an X window of its own.
find_window() {
  until_true 60 shown Mervane || fail "the window never appeared"
  window=$(windows_titled Mervane | head -n 1)
  eval "$(xdotool getwindowgeometry --shell "$window")"
  left=$X top=$Y
}
at() { echo "$((left + $1)) $((top + $2))"; }  # client pixels to the screen
end_button() { at $end_point; }

# click_end PID: clicks END and expects the program PID to end with status 0.
click_end() {
  xdotool mousemove $(end_button) click 1
  local status=0
  wait "$1" || status=$?
  [ "$status" -eq 0 ] || fail "END ended the program with status $status"
}
