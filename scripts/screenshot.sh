#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes docs/screenshot.png: the window after a real drop of a generated
# 12-frame animation, with two frames picked, under a private X server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" test ffmpeg
[ -x "$root/build/tests/drag_source" ] || "$root/scripts/build.sh" "$root/build"

source "$root/build/tests/screen_points.sh"  # strip_point, drag_source
work=$(mktemp -d)
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; }
pids=()
trap cleanup EXIT

ffmpeg -loglevel error -f lavfi -i testsrc2=size=160x90:rate=10 -frames:v 12 -loop 0 "$work/demo.gif"
mkdir "$work/app" && cp "$root/build/src/app/mervane" "$work/app/"
# The server picks a free display itself and writes its number once it listens.
Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$work/display" >/dev/null 2>&1 & pids+=($!)
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n 1 "$work/display")
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
"$work/app/mervane" >/dev/null 2>&1 & pids+=($!)
"$root/build/tests/drag_source" "$work/drag.log" "$work/demo.gif" >/dev/null 2>&1 & pids+=($!)
for _ in $(seq 100); do xdotool search --onlyvisible --name '^DragSource$' >/dev/null 2>&1 && break; sleep 0.1; done
for _ in $(seq 100); do xdotool search --onlyvisible --name '^Mervane$' >/dev/null 2>&1 && break; sleep 0.1; done
read -r from_x from_y <<<"$drag_source"
read -r to_x to_y <<<"$strip_point"  # the window stands at the screen's corner
xdotool mousemove "$from_x" "$from_y" mousedown 1
for step in $(seq 20); do
  xdotool mousemove $((from_x + (to_x - from_x) * step / 20)) $((from_y + (to_y - from_y) * step / 20))
done
xdotool mousemove "$to_x" "$to_y" mousemove $((to_x + 2)) $((to_y + 2)) mouseup 1
for _ in $(seq 100); do [ -f "$work/app/tmp/demo012.gif" ] && break; sleep 0.1; done
sleep 1  # let the last thumbnails paint
read -r one_x one_y <<<"$thumbnail_1"
xdotool mousemove "$one_x" "$one_y" click 1
xdotool key shift+Right
xdotool mousemove 500 500
sleep 0.5
import -window root -crop 385x174+0+0 "$root/docs/screenshot.png"
echo "wrote docs/screenshot.png"
