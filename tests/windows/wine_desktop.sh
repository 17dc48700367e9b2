# SPDX-License-Identifier: MIT
# Sourced by the Windows end-to-end scripts: a scratch folder $work, a
# private X server that Wine's windows appear on, and helpers. Set $name
# (for messages) and $root before sourcing.
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
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
server=$!
export DISPLAY=$display MERVANE_WINE_DISPLAY=$display
until_true 20 xdpyinfo >/dev/null 2>&1 || fail "no X server"
