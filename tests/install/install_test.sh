#!/usr/bin/env bash
# install_test.sh BUILD_DIR: installs into a fresh prefix and checks what a
# desktop needs: both programs, the menu entry, the icons, the metainfo and
# the manual page, each valid by its own checker.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/mervane bin/mervane-split share/applications/mervane.desktop \
    share/metainfo/io.github.mervane.Mervane.metainfo.xml share/man/man1/mervane-split.1 \
    share/icons/hicolor/16x16/apps/mervane.png share/icons/hicolor/256x256/apps/mervane.png; do
  [ -e "$prefix/$file" ] || { echo "missing: $file"; exit 1; }
done
desktop-file-validate "$prefix/share/applications/mervane.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/io.github.mervane.Mervane.metainfo.xml"
warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/mervane-split.1" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "man: $warnings"; exit 1; }
"$prefix/bin/mervane-split" --version
