#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# install_e2e.sh LINUX_BUILD WINDOWS_BUILD: the Windows packages under Wine.
# Both programs carry the icon and a version block. The installer has no
# components page. Driven page by page with keys, it takes the options
# page's choices (mervane-split on this user's PATH, a desktop icon) and
# puts both programs under Program Files with Start-menu entries for Mervane
# and its guide (a web page made from docs/using.md, its screenshot beside
# it) and a per-user "Open with" for GIF files; its last page runs Mervane
# and opens the guide. The installed copy keeps its work in
# %LOCALAPPDATA%\mervane\tmp, started as its shortcut starts it and on a
# file as "Open with" does. The uninstaller removes the icon and leaves
# nothing under Program Files or in the registry: no key or value of ours,
# and the user's PATH as it was before, not an empty value. A silent
# install with /ADD_TO_PATH /DESKTOP_ICON does the same. The portable zip
# holds both programs, the guide and the licence, and keeps tmp beside
# itself. With MERVANE_SHOTS=FOLDER, the installer's pages are saved there
# as pictures.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
name=install_e2e
source "$root/tests/windows/wine_desktop.sh"
(cd "$windows" && cpack -G NSIS -B "$work/packages" >/dev/null && cpack -G ZIP -B "$work/packages" >/dev/null)
installer=$(echo "$work"/packages/mervane-*.exe)
zip=$(echo "$work"/packages/mervane-*.zip)
[ -f "$installer" ] && [ -f "$zip" ] || fail "no installer or zip"

version=$(sed -n 's/^project(Mervane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
for program in mervane mervane-split; do
  # The resource types at the top of the resource tree, by number.
  types=$(x86_64-w64-mingw32-objdump -p "$windows/$program.exe" |
    sed -n '/The .rsrc Resource Directory/,$s/^[0-9a-f]\{3\}   Entry: ID: 0x\([0-9a-f]*\),.*/\1/p')
  for kind in ICON:000003 GROUP_ICON:00000e VERSION:000010 MANIFEST:000018; do
    grep -qx "${kind#*:}" <<<"$types" || fail "$program.exe has no ${kind%:*} resource"
  done
  strings -e l "$windows/$program.exe" | grep -x "$version" >/dev/null ||
    fail "$program.exe's version block does not give the project's version"
done
! grep -q MUI_PAGE_COMPONENTS "$work"/packages/_CPack_Packages/*/NSIS/project.nsi ||
  fail "the installer has a components page"
echo "install_e2e: both programs carry the icon and the version; the installer asks for no components"

prefix=${WINEPREFIX:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/mervane-wine}
wine_run wineboot --init >/dev/null 2>&1 || true
program_files="$prefix/drive_c/Program Files/Mervane"
guide_name=$(sed -n 's/^set(MERVANE_GUIDE_FILE "\(.*\)")$/\1/p' "$root/CMakeLists.txt")
local_app_data=$(wine_run cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
cache="$(wine_run winepath -u "$local_app_data" 2>/dev/null | tr -d '\r')/mervane/tmp"
windows_path() { wine_run winepath -w "$1" 2>/dev/null | tr -d '\r'; }
rm -rf "$program_files" "$(dirname "$cache")"
# What an earlier run that stopped half-way may have left in a prefix kept
# between runs (only our installer makes these keys in the test's prefix);
# and a user who has no PATH of their own yet, as on a new Windows account.
for key in 'HKLM\Software\The Mervane developers' \
  'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Mervane' \
  'HKCU\Software\Classes\Applications' 'HKCU\Software\Classes\.gif' \
  'HKCU\Software\Classes\.webp' 'HKCU\Software\Classes\.apng'; do
  wine_run reg delete "$key" /f >/dev/null 2>&1 || true
done
wine_run reg delete 'HKCU\Environment' /v PATH /f >/dev/null 2>&1 || true
find "$prefix/drive_c/users" -ipath '*/Desktop/Mervane.lnk' -delete
rm -rf "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Mervane"

# user_path: the user's PATH value as reg lists it (an empty one too), or nothing.
user_path() {
  wine_run reg query 'HKCU\Environment' /v Path 2>/dev/null | tr -d '\r' | grep -Ei '^ +path +REG_' || true
}
desktop_icon() { find "$prefix/drive_c/users" -ipath '*/Desktop/Mervane.lnk' | grep .; }
start_menu_entry() { find "$prefix/drive_c" -ipath "*/Start Menu/*/$1.lnk" | grep .; }
# shortcut_to LINK PATTERN: LINK's target matches PATTERN.
shortcut_to() { { strings "$1" && strings -e l "$1"; } | grep -i "$2" >/dev/null; }
# registry FILE: every key of HKLM and HKCU, and each value after its key,
# one a line, sorted.
registry() {
  local hive
  for hive in HKLM HKCU; do
    wine_run reg export "$hive" "$(windows_path "$work")\\$hive.reg" /y >/dev/null 2>&1 ||
      fail "could not export $hive"
    iconv -f UTF-16 -t UTF-8 "$work/$hive.reg" | tr -d '\r' |
      awk '/^\[/ { key = $0; print; next } NF { print key "\t" $0 }'
  done | sort >"$1"
}
# registry_as_before WHEN: no key or value of ours added or taken away
# since $work/before.txt, none left empty, and the user's PATH as it was.
registry_as_before() {
  registry "$work/after.txt"
  local ours='mervane|\\Environment\]|Classes\\\.(gif|webp|apng)|Classes\\Applications\]'
  local added removed
  added=$(comm -13 "$work/before.txt" "$work/after.txt" | grep -Ei "$ours" || true)
  removed=$(comm -23 "$work/before.txt" "$work/after.txt" | grep -Ei "$ours" || true)
  [ -z "$added" ] || fail "$1 left in the registry: $added"
  [ -z "$removed" ] || fail "$1 took from the registry: $removed"
}
shot() { [ -z "${MERVANE_SHOTS:-}" ] || import -window root "$MERVANE_SHOTS/$1.png"; }

# The guide's "open" goes to a stand-in for the browser, which copies the page
# it is given; the prefix's own association comes back afterwards.
html_class=$(wine_run reg query 'HKCR\.html' /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p' || true)
restore_html() {
  wine_run reg delete 'HKCR\test_browser_stand_in' /f >/dev/null 2>&1 || true
  if [ -n "$html_class" ]; then
    wine_run reg add 'HKCR\.html' /ve /d "$html_class" /f >/dev/null 2>&1 || true
  else
    wine_run reg delete 'HKCR\.html' /f >/dev/null 2>&1 || true
  fi
}
trap 'restore_html; cleanup' EXIT
wine_run reg add 'HKCR\.html' /ve /d test_browser_stand_in /f >/dev/null 2>&1
wine_run reg add 'HKCR\test_browser_stand_in\shell\open\command' /ve /f \
  /d "C:\\windows\\system32\\cmd.exe /c copy \"%1\" \"$(windows_path "$work")\\opened.html\"" >/dev/null 2>&1
registry "$work/before.txt"
[ -z "$(user_path)" ] || fail "the user's PATH could not be cleared before the install"

# Page by page, as a user would, a moment between keys so that each page is
# up before the next one: Welcome, the licence, the options (the PATH for
# this user, the desktop icon), the folder, the Start-menu folder.
mkdir -p "${MERVANE_SHOTS:-$work}"
wine_run "$installer" >/dev/null 2>&1 &
installing=$!
until_true 60 shown 'Mervane Setup' || fail "the installer's window never appeared"
# side_picture: the colour where the first and the last page show their
# picture, and the other pages do not: how the last page is known. (The
# window's title changes from page to page.)
side_picture() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  local setup
  setup=$(xdotool search --onlyvisible --name '^Mervane Setup' 2>/dev/null | head -n 1)
  [ -n "$setup" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$setup")"
  import -window root -crop 1x1+$((X + 20))+$((Y + 200)) -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}'
}
sleep 1
welcome=$(side_picture)
on_last_page() { test "$(side_picture)" = "$welcome"; }
shot installer-1-welcome
for key in Return Return alt+c alt+d Return Return Return; do
  xdotool key "$key"
  sleep 1
  [ "$key" = alt+d ] && shot installer-2-options
done
until_true 120 on_last_page || fail "the installer never reached its last page"
until_true 60 test -f "$program_files/bin/mervane.exe" || fail "the installer put no mervane.exe"
[ -f "$program_files/bin/mervane-split.exe" ] || fail "the installer put no mervane-split.exe"
desktop_icon >/dev/null || fail "the desktop icon ticked on the options page was not made"
shortcut_to "$(desktop_icon)" 'Mervane\\bin\\mervane.exe' || fail "the desktop icon does not start mervane.exe"
grep -qi 'Mervane\\bin' <<<"$(user_path)" || fail "the options page's PATH for this user put nothing on it"
start_menu_entry Mervane >/dev/null || fail "no Start-menu entry"
start_menu_entry "Mervane user's guide" >/dev/null || fail "no Start-menu entry for the guide"
shortcut_to "$(start_menu_entry "Mervane user's guide")" "Mervane\\\\$guide_name" ||
  fail "the guide's Start-menu entry does not open $guide_name"
wine_run reg query 'HKCU\Software\Classes\Applications\mervane.exe\shell\open\command' 2>/dev/null |
  grep -q 'mervane.exe' || fail "no \"Open with\" for GIF files"
for type in .gif .webp .apng; do
  wine_run reg query "HKCU\\Software\\Classes\\$type\\OpenWithList\\mervane.exe" >/dev/null 2>&1 ||
    fail "\"Open with\" does not offer Mervane for $type files"
done

# The guide: a web page with its screenshot beside it, no Markdown left.
guide="$program_files/$guide_name"
[ -f "$guide" ] || fail "the installer put no $guide_name"
grep -q '^<!DOCTYPE html>' "$guide" && grep -q '<title>Using Mervane</title>' "$guide" ||
  fail "$guide_name is no titled web page"
grep -q '<img src="screenshot.png"' "$guide" && [ -f "$program_files/screenshot.png" ] ||
  fail "$guide_name shows no screenshot beside it"
! grep -qE '^#|\*\*|\]\(' "$guide" || fail "$guide_name still holds Markdown: $(grep -E '^#|\*\*|\]\(' "$guide")"
[ ! -e "$program_files/README.md" ] || fail "the installer still puts README.md"

# The last page: "Run Mervane" is ticked, "Open the user's guide" is ticked
# by its key, and Finish does both.
shot installer-3-finish
xdotool key alt+o
sleep 1
xdotool key Return
wait "$installing" || fail "the installer ended with status $?"
find_window
until_true 60 test -d "$cache" || fail "Mervane run from the last page made no work folder in LOCALAPPDATA"
xdotool mousemove $(end_button) click 1
until_true 60 titled_exactly Mervane 0 || fail "Mervane run from the last page did not end on END"
until_true 60 cmp -s "$work/opened.html" "$guide" || fail "the last page opened no user's guide"
echo "install_e2e: installed page by page: desktop icon, PATH for mervane-split, Start-menu entries, the guide as a web page, Run and the guide from the last page"

# started as its shortcut does: the installed copy keeps to its cache work folder.
rm -rf "$cache"
wine_run "$program_files/bin/mervane.exe" >/dev/null 2>&1 &
started=$!
find_window
until_true 60 test -d "$cache" || fail "the installed copy made no work folder in LOCALAPPDATA"
click_end "$started"
[ ! -e "$program_files/bin/tmp" ] || fail "the installed copy made tmp beside itself"

# "Open with": the file is divided into the cache work folder.
"$linux/tests/make_gif" 3 "$work/clip.gif"
wine_run "$program_files/bin/mervane.exe" "$(windows_path "$work/clip.gif")" >/dev/null 2>&1 &
opened=$!
find_window
until_true 60 test -f "$cache/clip003.gif" || fail "Open with divided nothing into the cache folder"
click_end "$opened"
echo "install_e2e: the installed copy works in %LOCALAPPDATA%\\mervane\\tmp"

# uninstall WHEN [KEPT]: the silent uninstaller takes away everything but
# the work folder, and leaves the user's PATH absent as before, or KEPT.
uninstall() {
  wine_run "$program_files/Uninstall.exe" /S >/dev/null 2>&1 || true
  until_true 60 test ! -e "$program_files" || fail "$1 left $(ls -R "$program_files")"
  [ -f "$cache/clip003.gif" ] || fail "$1 took the user's work folder"
  ! desktop_icon >/dev/null || fail "$1 left the desktop icon"
  ! start_menu_entry Mervane >/dev/null || fail "$1 left the Start-menu entry"
  if [ $# -gt 1 ]; then
    [ "$(user_path | sed 's/.*REG_[A-Z_]* *//')" = "$2" ] || fail "$1 left the user's PATH as $(user_path)"
    wine_run reg delete 'HKCU\Environment' /v PATH /f >/dev/null 2>&1
  fi
  [ -z "$(user_path)" ] || fail "$1 left a PATH value that was not there before: $(user_path)"
  registry_as_before "$1"
}
uninstall "the uninstaller"
echo "install_e2e: uninstalled: nothing left under Program Files, on the desktop, on PATH or in the registry, the work folder kept"

wine_run "$installer" /S /ADD_TO_PATH /DESKTOP_ICON >/dev/null 2>&1 || true  # NSIS asks for elevation first: see the files
until_true 60 test -f "$program_files/Uninstall.exe" || fail "the silent installer installed nothing"
desktop_icon >/dev/null || fail "/DESKTOP_ICON made no desktop icon"
grep -qi 'Mervane\\bin' <<<"$(user_path)" || fail "/ADD_TO_PATH put nothing on the user's PATH"
# Installed again over it, without either option: the icon goes, and the
# uninstaller still takes the PATH entry the first install made.
rm "$program_files/Uninstall.exe"
wine_run "$installer" /S >/dev/null 2>&1 || true
until_true 60 test -f "$program_files/Uninstall.exe" || fail "the second silent install installed nothing"
no_desktop_icon() { ! desktop_icon >/dev/null; }
until_true 60 no_desktop_icon || fail "an install without the desktop icon kept the earlier install's"
# The user's own entry stays; ours goes, also when a second install added it again.
ours='C:\Program Files\Mervane\bin'
wine_run reg add 'HKCU\Environment' /v PATH /t REG_EXPAND_SZ /d "C:\kept by the user;$ours;$ours" /f >/dev/null 2>&1
uninstall "the uninstaller after a silent install" 'C:\kept by the user'
echo "install_e2e: silently with /ADD_TO_PATH /DESKTOP_ICON, again over it without, and uninstalled as cleanly"

# Unpacked where the work folder's path passes 260 characters.
deep="$work/portable"
for n in 1 2 3 4 5 6; do deep="$deep/a folder name that goes on and on, part $n"; done
mkdir -p "$deep"
(cd "$deep" && unzip -q "$zip")
unpacked=$(echo "$deep"/mervane-*)
for file in bin/mervane.exe bin/mervane-split.exe "$guide_name" screenshot.png LICENSE; do
  [ -f "$unpacked/$file" ] || fail "the zip has no $file"
done
cmp -s "$unpacked/$guide_name" "$work/opened.html" || fail "the zip's guide differs from the installer's"
[ ! -e "$unpacked/share/mervane/installed" ] || fail "the zip carries the installed-copy marker"
wine_run "$unpacked/bin/mervane.exe" >/dev/null 2>&1 &
portable=$!
find_window
until_true 60 test -d "$unpacked/bin/tmp" || fail "the portable copy made no tmp beside itself"
click_end "$portable"
wine_run "$unpacked/bin/mervane.exe" "$(wine_run winepath -w "$work/clip.gif" | tr -d '\r')" \
  >/dev/null 2>&1 &
portable=$!
find_window
until_true 60 cmp -s "$unpacked/bin/tmp/clip003.gif" "$cache/clip003.gif" ||
  fail "the portable copy divided nothing into a tmp whose path has $(echo -n "$unpacked/bin/tmp" | wc -c) characters"
click_end "$portable"
echo "install_e2e: the zip holds both programs, the guide and the licence, and stays portable, past 260 characters too"
