#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# install_e2e.sh LINUX_BUILD WINDOWS_BUILD: the Windows packages under Wine.
# Both programs carry the icon and a version block. The installer has no
# components page; run silently, it puts both programs under Program Files
# with a Start-menu entry and a per-user "Open with" for GIF files, and on
# PATH when asked (/ADD_TO_PATH); the installed
# copy keeps its work in %LOCALAPPDATA%\mervane\tmp, started as its shortcut
# starts it and on a file as "Open with" does; the silent uninstaller leaves
# nothing under Program Files, on PATH or in the registry, and the user's
# work folder as it was. The
# portable zip holds both programs, the README and the licence, and keeps
# tmp beside itself.
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

for program in mervane mervane-split; do
  # The resource types at the top of the resource tree, by number.
  types=$(x86_64-w64-mingw32-objdump -p "$windows/$program.exe" |
    sed -n '/The .rsrc Resource Directory/,$s/^[0-9a-f]\{3\}   Entry: ID: 0x\([0-9a-f]*\),.*/\1/p')
  for kind in ICON:000003 GROUP_ICON:00000e VERSION:000010 MANIFEST:000018; do
    grep -qx "${kind#*:}" <<<"$types" || fail "$program.exe has no ${kind%:*} resource"
  done
  strings -e l "$windows/$program.exe" | grep -qx "$(sed -n 's/^project(Mervane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")" ||
    fail "$program.exe's version block does not give the project's version"
done
! grep -q MUI_PAGE_COMPONENTS "$work"/packages/_CPack_Packages/*/NSIS/project.nsi ||
  fail "the installer has a components page"
echo "install_e2e: both programs carry the icon and the version; the installer asks for no components"

prefix=${WINEPREFIX:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/mervane-wine}
wine_run wineboot --init >/dev/null 2>&1 || true
program_files="$prefix/drive_c/Program Files/Mervane"
local_app_data=$(wine_run cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
cache="$(wine_run winepath -u "$local_app_data" 2>/dev/null | tr -d '\r')/mervane/tmp"
rm -rf "$program_files" "$(dirname "$cache")"
# What earlier installers of ours may have left in a prefix kept between runs.
for key in 'HKLM\Software\The Mervane developers' 'HKCU\Software\Classes\.gif\OpenWithList'; do
  wine_run reg delete "$key" /f >/dev/null 2>&1 || true
done

wine_run "$installer" /S /ADD_TO_PATH >/dev/null 2>&1 || true  # NSIS asks for elevation first: see the files
until_true 60 test -f "$program_files/bin/mervane.exe" || fail "the installer put no mervane.exe"
[ -f "$program_files/bin/mervane-split.exe" ] || fail "the installer put no mervane-split.exe"
find "$prefix/drive_c" -iname 'Mervane.lnk' | grep -q . || fail "no Start-menu entry"
wine_run reg query 'HKCU\Software\Classes\Applications\mervane.exe\shell\open\command' 2>/dev/null |
  grep -q 'mervane.exe' || fail "no \"Open with\" for GIF files"
user_path() { wine_run reg query 'HKCU\Environment' /v Path 2>/dev/null | tr -d '\r'; }
grep -qi 'Mervane\\bin' <<<"$(user_path)" || fail "/ADD_TO_PATH put nothing on the user's PATH"

# started as its shortcut does: the installed copy makes its cache work folder.
wine_run "$program_files/bin/mervane.exe" >/dev/null 2>&1 &
started=$!
find_window
until_true 60 test -d "$cache" || fail "the installed copy made no work folder in LOCALAPPDATA"
click_end "$started"
[ ! -e "$program_files/bin/tmp" ] || fail "the installed copy made tmp beside itself"

# "Open with": the file is divided into the cache work folder.
"$linux/tests/make_gif" 3 "$work/clip.gif"
wine_run "$program_files/bin/mervane.exe" "$(wine_run winepath -w "$work/clip.gif" | tr -d '\r')" \
  >/dev/null 2>&1 &
opened=$!
find_window
until_true 60 test -f "$cache/clip003.gif" || fail "Open with divided nothing into the cache folder"
click_end "$opened"
echo "install_e2e: installed silently; the installed copy works in %LOCALAPPDATA%\\mervane\\tmp"

wine_run "$program_files/Uninstall.exe" /S >/dev/null 2>&1 || true
until_true 60 test ! -e "$program_files" || fail "the uninstaller left $(ls -R "$program_files")"
[ -f "$cache/clip003.gif" ] || fail "the uninstaller took the user's work folder"
! wine_run reg query 'HKCU\Software\Classes\Applications\mervane.exe' >/dev/null 2>&1 ||
  fail "the uninstaller left the \"Open with\" entry"
! grep -qi 'Mervane\\bin' <<<"$(user_path)" || fail "the uninstaller left Mervane on PATH"
for key in 'HKLM\Software\The Mervane developers' 'HKCU\Software\The Mervane developers' \
  'HKCU\Software\Classes\.gif\OpenWithList'; do
  ! wine_run reg query "$key" >/dev/null 2>&1 || fail "the uninstaller left $key"
done
echo "install_e2e: uninstalled silently; nothing left under Program Files, on PATH or in the registry, the work folder kept"

# Unpacked where the work folder's path passes 260 characters.
deep="$work/portable"
for n in 1 2 3 4 5 6; do deep="$deep/a folder name that goes on and on, part $n"; done
mkdir -p "$deep"
(cd "$deep" && unzip -q "$zip")
unpacked=$(echo "$deep"/mervane-*)
for file in bin/mervane.exe bin/mervane-split.exe README.md LICENSE; do
  [ -f "$unpacked/$file" ] || fail "the zip has no $file"
done
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
echo "install_e2e: the zip holds both programs, the README and the licence, and stays portable, past 260 characters too"
