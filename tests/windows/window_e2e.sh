#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# window_e2e.sh LINUX_BUILD WINDOWS_BUILD: the Windows window under Wine on a
# private X server, driven as a person drives it: real XDND drags from the
# Linux drag source, real clicks and key presses through XTEST. A portable
# copy in a folder whose name has spaces and non-ASCII characters makes tmp
# beside itself; a cancelled drag leaves nothing for a later drag of text; a
# 12-frame GIF with such a name divides into the same files as the Linux
# build writes, as do an animated WebP and an APNG, and a thumbnail dragged
# out arrives whole on a drop target;
# 128 frames and a file that is no GIF end in their boxes; a drop on END is
# refused; a second start hands its file to the open window, also by a name
# relative to its own folder, and the lock that keeps to one window lies in
# %LOCALAPPDATA%\mervane, never in Temp, and is gone after END; ShowHolder
# starts Explorer on the work folder; END ends the
# program with status 0, at once also while frames of 65535 x 65535 are
# divided.
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
strip=$(at $strip_point) end_button=$(end_button) show_holder=$(at $show_holder_point)

# What the screen shows in a rectangle of the client area (X Y W H): its
# pixels' checksum, and how many colours it has.
crop() { echo "${3}x${4}+$((left + $1))+$((top + $2))"; }
pixels_of() { import -window root -crop "$(crop "$@")" rgb:- 2>/dev/null | md5sum; }
colours_in() { import -window root -crop "$(crop "$@")" -format %k info: 2>/dev/null; }
strip_area=(8 0 369 100) label_area=(32 152 153 17)
strip_painted() { test "$(colours_in "${strip_area[@]}")" -ge 4; }
label_at_start=$(pixels_of "${label_area[@]}")
[ "$(colours_in "${strip_area[@]}")" -le 2 ] || fail "the strip is not blank at start"

# gesture [-k KEY] X1 Y1 X2 Y2 [X3 Y3...]: presses at the first point, moves
# in steps (each an XDND position) through the others, presses KEY if
# given, and lets go at the last.
gesture() {
  local key=
  [ "$1" = -k ] && key=$2 && shift 2
  local x=$1 y=$2
  shift 2
  xdotool mousemove "$x" "$y" mousedown 1
  while [ $# -ge 2 ]; do
    for step in $(seq 1 20); do
      xdotool mousemove $((x + ($1 - x) * step / 20)) $((y + ($2 - y) * step / 20))
    done
    x=$1 y=$2
    shift 2
  done
  xdotool mousemove $((x + 2)) $((y + 2))
  [ -z "$key" ] || xdotool key "$key"
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
    gesture $drag_source "$x" "$y"
    until_true 5 test -s "$log" && break
  done
  # Wine may still be answering the source: let it finish first.
  sleep 1
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
  base=$(basename "$file")
  base=${base%.*}
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

# A drag over the strip cancelled with Escape leaves nothing behind: a later
# drag of text is refused, and nothing is divided.
log=$work/cancelled.log
"$linux/tests/drag_source" "$log" "$gif" >/dev/null 2>&1 &
source=$!
until_true 20 shown DragSource || fail "no drag source"
for attempt in 1 2 3 4 5; do
  gesture -k Escape $drag_source $strip 500 600
  until_true 5 test -s "$log" && break
done
kill "$source" && wait "$source" 2>/dev/null || true
[ "$(cat "$log")" = refused ] || fail "the cancelled drag was not refused"
until_true 10 sh -c '! xdotool search --onlyvisible --name "^DragSource\$" >/dev/null' || true
[ "$(drag --text "https://example.invalid/a.gif" $strip)" = refused ] || fail "a drag of text was taken"
sleep 2
[ -z "$(ls "$app/tmp")" ] || fail "a drag of text after a cancelled one divided something"
echo "window_e2e: a cancelled drag leaves nothing for a later drag of text, which is refused"

drop_divided "$gif"
[ "$(pixels_of "${label_area[@]}")" != "$label_at_start" ] || fail "the count label still reads as at start"
# A thumbnail dragged out lands on a drop target, byte for byte.
mkdir "$work/dropped"
wine_run "$windows/drop_target.exe" "$(wine_run winepath -w "$work/dropped" | tr -d '\r')" >/dev/null 2>&1 &
target=$!
until_true 60 shown DropTarget || fail "no drop target"
for attempt in 1 2 3; do
  gesture $(at $thumbnail_2) $drop_target
  until_true 10 test -s "$work/dropped/my anim ア002.gif" && break
done
cmp -s "$work/dropped/my anim ア002.gif" "$app/tmp/my anim ア002.gif" ||
  fail "frame 2 dragged out did not arrive whole"
# Frame 1 picked with Shift beside it: dragging either takes both.
rm "$work/dropped/my anim ア002.gif"
xdotool mousemove $(at $thumbnail_1) keydown shift click 1 keyup shift
for attempt in 1 2 3; do
  gesture $(at $thumbnail_1) $drop_target
  until_true 10 test -s "$work/dropped/my anim ア002.gif" && break
done
for frame in 001 002; do
  cmp -s "$work/dropped/my anim ア$frame.gif" "$app/tmp/my anim ア$frame.gif" ||
    fail "frames 1 and 2 picked and dragged out did not both arrive"
done
kill "$target" 2>/dev/null && wait "$target" 2>/dev/null || true
echo "window_e2e: a thumbnail, and then two picked, dragged out arrive on a drop target byte for byte"

for sample in "$root"/tests/data/*.gif; do drop_divided "$sample"; done
echo "window_e2e: 12 frames and the samples dropped for real, byte-equal to the Linux build's; strip and count painted"

# An animated WebP and an APNG, made by Debian's encoders from the 12-frame
# GIF's frames, divided as the Linux build divides them.
mkdir "$work/frames"
"$linux/src/cli/mervane-split" --png "$gif" "$work/frames/f" >/dev/null
img2webp -lossy -q 60 -d 80 "$work/frames"/f*.png -o "$work/sticker.webp" >/dev/null 2>&1 ||
  fail "img2webp could not make the test WebP"
apngasm "$work/moving.png" "$work/frames"/f*.png 1 12 >/dev/null || fail "apngasm could not make the test APNG"
drop_divided "$work/sticker.webp"
drop_divided "$work/moving.png"
echo "window_e2e: an animated WebP and an APNG dropped for real, byte-equal to the Linux build's"

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

# A second start with a file, as "Open with" makes one, hands the file to
# the window already open and ends.
"$linux/tests/make_gif" 3 "$work/later.gif"
status=0
timeout 60 "$root/scripts/wine-run.sh" "$app/mervane.exe" \
  "$(wine_run winepath -w "$work/later.gif" | tr -d '\r')" >/dev/null 2>&1 || status=$?
[ "$status" -ne 124 ] || fail "a second start did not end"
until_true 30 test -f "$app/tmp/later003.gif" || fail "the file handed over was not divided"
titled_exactly Mervane 1 || fail "a second start opened a window of its own"
echo "window_e2e: a second start hands its file to the open window and ends"

# A relative name means the later start's own current folder.
mkdir "$work/elsewhere-cwd"
"$linux/tests/make_gif" 3 "$work/elsewhere-cwd/near.gif"
status=0
(cd "$work/elsewhere-cwd" && timeout 60 "$root/scripts/wine-run.sh" "$app/mervane.exe" near.gif) \
  >/dev/null 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "a start with a relative name ended with status $status"
until_true 30 test -f "$app/tmp/near003.gif" || fail "the relative name was not divided"
echo "window_e2e: a relative name is handed over from the later start's own folder"

# The lock that keeps to one window lives in the user's own
# %LOCALAPPDATA%\mervane, never in Temp, and END leaves nothing of it.
prefix=${WINEPREFIX:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/mervane-wine}
locks() { find "$prefix/drive_c/users" -name 'mervane-window-*' 2>/dev/null || true; }
locks | grep -q '/AppData/Local/mervane/mervane-window-' || fail "no lock in %LOCALAPPDATA%\\mervane"
! locks | grep -qv '/AppData/Local/mervane/' || fail "a lock outside %LOCALAPPDATA%\\mervane: $(locks)"

xdotool mousemove $show_holder click 1
until_true 30 pgrep -f "explorer.exe.*tmp" >/dev/null || fail "no Explorer on the work folder"
echo "window_e2e: ShowHolder started Explorer on the work folder"
# Its window would stand over the strip.
pkill -f "explorer.exe" || true
until_true 10 sh -c '! pgrep -f explorer.exe >/dev/null' || true

# Frames of 65535 x 65535 on a 100 x 100 screen: END still answers at once.
"$linux/tests/make_gif" --constant 2 65535 65535 100 100 "$work/huge.gif"
[ "$(drag "$work/huge.gif" $strip)" = accepted ] || fail "the huge frames were not taken"
sleep 0.3
# timed_end PID: click_end, and sets $took to how long it took, in microseconds.
timed_end() {
  local started=${EPOCHREALTIME/[.,]/}
  click_end "$1"
  took=$((${EPOCHREALTIME/[.,]/} - started))
}
timed_end "$mervane"
busy_end=$took
[ -z "$(locks)" ] || fail "END left its lock behind: $(locks)"
echo "window_e2e: END ends the program with status 0, leaving no lock behind"

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
timed_end "$mervane"
idle_end=$took
echo "window_e2e: a link at tmp is refused at start-up and at a drop, and nothing is touched"

# Wine takes about two seconds to end any process: END during the huge
# frames may take no more than a second longer than END on an idle window.
[ "$busy_end" -lt $((idle_end + 1000000)) ] ||
  fail "END took $busy_end us while frames of 65535 x 65535 were divided, $idle_end us when idle"
echo "window_e2e: END answers as fast while frames of 65535 x 65535 are divided as when idle"
