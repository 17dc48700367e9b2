#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# install_test.sh BUILD_DIR: installs into fresh prefixes and checks what a
# desktop needs (both programs, the menu entry, the icons, the metainfo, the
# manual pages and the licence, each valid by its own checker, and no
# library search path of their own), and that an
# installed copy under any prefix keeps its work in the user's cache folder
# while a copy unpacked from the portable archive keeps it beside itself.
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr
cmake --install "$build" --prefix "$prefix" >/dev/null
app=io.github.mervane.Mervane
for file in bin/mervane bin/mervane-split "share/applications/$app.desktop" \
    "share/metainfo/$app.metainfo.xml" share/man/man1/mervane.1.gz share/man/man1/mervane-split.1.gz \
    share/doc/mervane/LICENSE share/doc/mervane/copyright share/doc/mervane/changelog.gz \
    share/mervane/installed share/icons/hicolor/16x16/apps/mervane.png \
    share/icons/hicolor/256x256/apps/mervane.png; do
  [ -e "$prefix/$file" ] || { echo "missing: $file"; exit 1; }
done
# No program looks for libraries anywhere but in the system's folders; an
# empty entry would be the current folder.
for program in "$prefix"/bin/mervane{,-split} "$build/src/app/mervane" "$build/src/cli/mervane-split"; do
  ! readelf -d "$program" | grep -Eq '\((RPATH|RUNPATH)\)' ||
    { echo "$program has a library search path of its own"; exit 1; }
done
desktop-file-validate "$prefix/share/applications/$app.desktop"
appstreamcli validate --strict --no-net "$prefix/share/metainfo/$app.metainfo.xml"
for page in mervane mervane-split; do
  warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "man $page: $warnings"; exit 1; }
done
"$prefix/bin/mervane-split" --version

# open_with PROGRAM: starts the window on a GIF as "Open with" does and
# prints where its frames landed, or "nowhere".
"$prefix/bin/mervane-split" --help >/dev/null
printf 'GIF89a\1\0\1\0\200\0\0\0\0\0\377\377\377!\377\13NETSCAPE2.0\3\1\0\0\0' >"$work/clip.gif"
for _ in 1 2; do
  printf '!\371\4\4\12\0\0\0,\0\0\0\0\1\0\1\0\0\2\2D\1\0' >>"$work/clip.gif"
done
printf ';' >>"$work/clip.gif"
open_with() {
  local cache=$work/cache-$RANDOM
  XDG_CACHE_HOME=$cache QT_QPA_PLATFORM=offscreen "$1" "$work/clip.gif" >/dev/null 2>&1 &
  local pid=$! where=nowhere
  for _ in $(seq 100); do
    if [ -f "$cache/mervane/tmp/clip002.gif" ]; then where=cache; break; fi
    if [ -f "$(dirname "$1")/tmp/clip002.gif" ]; then where=beside; break; fi
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "$where"
}

for name in .local opt/mervane usr usr/local; do
  cmake --install "$build" --prefix "$work/p/$name" >/dev/null
  [ "$(open_with "$work/p/$name/bin/mervane")" = cache ] ||
    { echo "installed under $name: frames not in the cache folder"; exit 1; }
  [ ! -e "$work/p/$name/bin/tmp" ] || { echo "installed under $name: tmp made beside the program"; exit 1; }
done

# The portable archive: the same programs, no marker, frames beside the program.
(cd "$build" && cpack -G TGZ -B "$work/archive" >/dev/null)
mkdir "$work/portable"
tar -xzf "$work"/archive/mervane-*.tar.gz -C "$work/portable"
portable=$(echo "$work"/portable/mervane-*/bin/mervane)
[ ! -e "$(dirname "$portable")/../share/mervane/installed" ] || { echo "marker in the archive"; exit 1; }
[ "$(open_with "$portable")" = beside ] || { echo "portable copy: frames not beside it"; exit 1; }
echo "install: every file valid; installed prefixes use the cache folder, the archive stays portable"
