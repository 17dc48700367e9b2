#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# with_xvfb.sh COMMAND...: runs COMMAND with DISPLAY set to a private X
# server of 1024x768, which picks a free display itself (-displayfd), so
# that servers started side by side never take the same one.
set -euo pipefail
work=$(mktemp -d)
server=
cleanup() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
server=$!
for _ in $(seq 300); do
  [ -s "$work/display" ] && break
  kill -0 "$server" 2>/dev/null || { echo "with_xvfb.sh: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$work/display" ] || { echo "with_xvfb.sh: Xvfb gave no display" >&2; exit 1; }
DISPLAY=:$(head -n 1 "$work/display") "$@"
