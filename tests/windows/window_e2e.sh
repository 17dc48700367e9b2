#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# window_e2e.sh LINUX_BUILD WINDOWS_BUILD: the Windows window under Wine on a
# private X server, driven as a person drives it: real XDND drags from the
# Linux drag source, real clicks and key presses through XTEST. A portable
# copy in a folder whose name has spaces and non-ASCII characters makes tmp
# beside itself; a 12-frame GIF with such a name divides into the same files
# as the Linux build writes; 128 frames and a file that is no GIF end in
# their boxes; a drop on END is refused; ShowHolder starts Explorer on the
# work folder; END ends the program with status 0.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
name=window_e2e
source "$root/tests/windows/wine_desktop.sh"

app="$work/Mes programmes ア/Mervane"
mkdir -p "$app"
cp "$windows/mervane.exe" "$app/"
wine_run "$app/mervane.exe" >/dev/null 2>&1 &
mervane=$!
find_window
[ -d "$app/tmp" ] || fail "no tmp beside the portable copy"
strip=$(at 100 50) end_button=$(end_button) show_holder=$(at 248 156)

# What the screen shows in a rectangle of the client area (X Y W H): its
# pixels' checksum, and how many colours it has.
crop() { echo "${3}x${4}+$((left + $1))+$((top + $2))"; }
pixels_of() { import -window root -crop "$(crop "$@")" rgb:- 2>/dev/null | md5sum; }
colours_in() { import -window root -crop "$(crop "$@")" -format %k info: 2>/dev/null; }
strip_area=(8 0 369 100) label_area=(32 152 153 17)
strip_painted() { test "$(colours_in "${strip_area[@]}")" -ge 4; }
label_at_start=$(pixels_of "${label_area[@]}")
[ "$(colours_in "${strip_area[@]}")" -le 2 ] || fail "the strip is not blank at start"

# gesture X1 Y1 X2 Y2 [KEY]: presses at the first point, moves in steps (each
# an XDND position) to the second, presses KEY if given, and lets go.
gesture() {
  xdotool mousemove "$1" "$2" mousedown 1
  for step in $(seq 1 20); do
    xdotool mousemove $(($1 + ($3 - $1) * step / 20)) $(($2 + ($4 - $2) * step / 20))
  done
  xdotool mousemove "$3" "$4" mousemove $(($3 + 2)) $(($4 + 2))
  [ -z "${5:-}" ] || xdotool key "$5"
  xdotool mouseup 1
}

# drag PAYLOAD X Y: drags PAYLOAD (a file, or --text TEXT) from a drag source
# that stays open, as a file manager does, onto the screen point, and prints
# what the source was told ("accepted" or "refused").
drag() {
  local x=${*: -2:1} y=${*: -1} log=$work/drag.log
  rm -f "$log"
  "$linux/tests/drag_source" "$log" "${@:1:$#-2}" >/dev/null 2>&1 &
  local source=$!
  until_true 20 shown DragSource || fail "no drag source"
  for attempt in 1 2 3 4 5; do
    gesture 660 460 "$x" "$y"
    until_true 5 test -s "$log" && break
  done
  kill "$source" 2>/dev/null || true
  wait "$source" 2>/dev/null || true
  until_true 10 sh -c '! xdotool search --onlyvisible --name "^DragSource\$" >/dev/null' || true
  [ -s "$log" ] || fail "the drag source never started a drag"
  cat "$log"
}

# A box beside the window, closed again with Enter.
box_shown_and_closed() {
  until_true 30 titled_at_least Mervane 2 || fail "no box after $1"
  xdotool key Return
  until_true 10 titled_exactly Mervane 1 || fail "the box after $1 stayed"
}

# strip_settled PIXELS: the strip shows thumbnails, other than PIXELS, and
# has stopped changing.
strip_settled() {
  local shown
  shown=$(pixels_of "${strip_area[@]}")
  sleep 0.5
  strip_painted && [ "$shown" != "$1" ] && [ "$shown" = "$(pixels_of "${strip_area[@]}")" ]
}
# drop_divided FILE: drops FILE on the strip and expects the frame files the
# Linux build writes for it, byte for byte, and the strip painted anew.
drop_divided() {
  local file=$1 expected=$work/expected base last before
  base=$(basename "$file" .gif)
  rm -rf "$expected" && mkdir "$expected"
  "$linux/src/cli/mervane-split" "$file" "$expected/$base" >/dev/null
  last=$(ls "$expected" | tail -n 1)
  before=$(pixels_of "${strip_area[@]}")
  [ "$(drag "$file" $strip)" = accepted ] || fail "$base was not taken"
  until_true 30 cmp -s "$app/tmp/$last" "$expected/$last" || fail "$last never came"
  diff <(ls "$expected") <(ls "$app/tmp") >/dev/null || fail "other frame files than Linux's for $base"
  for frame in "$expected"/*; do
    cmp -s "$frame" "$app/tmp/$(basename "$frame")" || fail "$(basename "$frame") differs"
  done
  until_true 30 strip_settled "$before" || fail "the strip shows no thumbnails of $base"
}

# 12 frames, a name with spaces and non-ASCII characters, then the samples.
gif="$work/my anim ア.gif"
"$linux/tests/make_gif" 12 "$gif" 2>/dev/null || fail "cannot write the test GIF"
drop_divided "$gif"
[ "$(pixels_of "${label_area[@]}")" != "$label_at_start" ] || fail "the count label still reads as at start"
for sample in "$root"/tests/data/*.gif; do drop_divided "$sample"; done
echo "window_e2e: 12 frames and the samples dropped for real, byte-equal to the Linux build's; strip and count painted"

"$linux/tests/make_gif" 128 "$work/long.gif"
drag "$work/long.gif" $strip >/dev/null
box_shown_and_closed "128 frames"
[ -f "$app/tmp/long128.gif" ] || fail "the 128 frame files were not written"
printf 'not a GIF at all' >"$work/notes.gif"
drag "$work/notes.gif" $strip >/dev/null
box_shown_and_closed "a file that is no GIF"
label_as_at_start() { test "$(pixels_of "${label_area[@]}")" = "$label_at_start"; }
until_true 10 label_as_at_start ||
  fail "the count label does not read \"Mervane\" again after a file that is no GIF"
echo "window_e2e: 128 frames and a file that is no GIF end in their boxes"

[ "$(drag "$gif" $end_button)" = refused ] || fail "a drop on END was taken"
echo "window_e2e: a drop on END is refused"

xdotool mousemove $show_holder click 1
until_true 30 pgrep -f "explorer.exe.*tmp" >/dev/null || fail "no Explorer on the work folder"
echo "window_e2e: ShowHolder started Explorer on the work folder"

click_end "$mervane"
echo "window_e2e: END ends the program with status 0"

# A link at tmp, which Windows sees as a reparse point, is never used: the
# program says so at start-up and at a drop, and the folder it leads to keeps
# its file.
mkdir "$work/elsewhere" && printf keep >"$work/elsewhere/keep.gif"
rm -rf "$app/tmp" && ln -s "$work/elsewhere" "$app/tmp"
wine_run "$app/mervane.exe" >/dev/null 2>&1 &
mervane=$!
until_true 60 shown Mervane || fail "neither box nor window with a link at tmp"
box=$(windows_titled Mervane)
# No window had the focus yet: a click on the box gives it, as it would a person.
eval "$(xdotool getwindowgeometry --shell "$box")"
xdotool mousemove $((X + 20)) $((Y + 20)) click 1 key Return
another_than() { windows_titled Mervane | grep -vxq "$1"; }
until_true 30 another_than "$box" ||
  fail "no box at start-up with a link at tmp, or no window after it"
find_window
drag "$gif" $strip >/dev/null
box_shown_and_closed "a drop with a link at tmp"
[ "$(ls "$work/elsewhere")" = keep.gif ] && [ "$(cat "$work/elsewhere/keep.gif")" = keep ] ||
  fail "the folder a link at tmp leads to was touched"
click_end "$mervane"
echo "window_e2e: a link at tmp is refused at start-up and at a drop, and nothing is touched"
