#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes docs/screenshot.png: the window after a real drop of a generated
# 12-frame animation, under a private X server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" ffmpeg imagemagick
[ -x "$root/build/tests/drag_source" ] || "$root/scripts/build.sh" "$root/build"

work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; }
pids=()
trap cleanup EXIT

ffmpeg -loglevel error -f lavfi -i testsrc2=size=160x90:rate=10 -frames:v 12 -loop 0 "$work/demo.gif"
mkdir "$work/app" && cp "$root/build/src/app/mervane" "$work/app/"
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 & pids+=($!)
export DISPLAY=$display
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
"$work/app/mervane" >/dev/null 2>&1 & pids+=($!)
"$root/build/tests/drag_source" "$work/drag.log" "$work/demo.gif" >/dev/null 2>&1 & pids+=($!)
for _ in $(seq 100); do xdotool search --onlyvisible --name '^DragSource$' >/dev/null 2>&1 && break; sleep 0.1; done
for _ in $(seq 100); do xdotool search --onlyvisible --name '^Mervane$' >/dev/null 2>&1 && break; sleep 0.1; done
xdotool mousemove 660 460 mousedown 1
for step in $(seq 20); do xdotool mousemove $((660 - step * 28)) $((460 - step * 20)); done
xdotool mousemove 100 50 mousemove 102 52 mouseup 1
for _ in $(seq 100); do [ -f "$work/app/tmp/demo012.gif" ] && break; sleep 0.1; done
sleep 1  # let the last thumbnails paint
xdotool mousemove 500 500
import -window root -crop 385x174+0+0 "$root/docs/screenshot.png"
echo "wrote docs/screenshot.png"
