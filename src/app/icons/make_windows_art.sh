#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the Windows icon and the installer's pictures from make_icon's
# drawing; run by hand, as make_icon is, when the icon changes.
# usage: src/app/icons/make_windows_art.sh BUILD_DIR   (needs ImageMagick)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
make_icon=$1/src/app/make_icon
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 24 32 48 256; do "$make_icon" "$work/$size.png" "$size"; done
convert "$work"/{16,24,32,48,256}.png "$here/mervane.ico"
# The installer's header (150 x 57) and the side of its first and last pages
# (164 x 314), on the strip's pale yellow.
"$make_icon" "$work/header.png" 48
convert -size 150x57 xc:'#FFFFE0' "$work/header.png" -geometry +96+4 -composite \
  BMP3:"$root/cmake/windows/installer-header.bmp"
"$make_icon" "$work/side.png" 128
convert -size 164x314 xc:'#FFFFE0' "$work/side.png" -geometry +18+40 -composite \
  BMP3:"$root/cmake/windows/installer-side.bmp"
