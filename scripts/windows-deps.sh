#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# windows-deps.sh DEST: builds giflib and libpng as static MinGW-w64 libraries
# into DEST/include and DEST/lib, from Debian's own sources (with Debian's
# patches applied). zlib comes from the libz-mingw-w64-dev package. Does
# nothing when DEST already holds both libraries.
set -euo pipefail
dest=$(mkdir -p "$1" && cd "$1" && pwd)
[ -f "$dest/lib/libgif.a" ] && [ -f "$dest/lib/libpng.a" ] && exit 0

cc=x86_64-w64-mingw32-gcc-posix
ar=x86_64-w64-mingw32-ar
work=$dest/src
rm -rf "$work" && mkdir -p "$dest/include" "$dest/lib"
"$(dirname "$0")/debian-source.sh" "$work" giflib libpng1.6

# library NAME SOURCE_DIR FILE...: compiles FILEs into DEST/lib/libNAME.a.
library() {
  local name=$1 dir=$2
  shift 2
  local objects=()
  for file in "$@"; do
    "$cc" -O2 -I"$dir" -c "$dir/$file" -o "$dir/${file%.c}.o"
    objects+=("$dir/${file%.c}.o")
  done
  "$ar" rcs "$dest/lib/lib$name.a" "${objects[@]}"
}

gif=$(echo "$work"/giflib-*/)
library gif "$gif" dgif_lib.c egif_lib.c gif_err.c gif_font.c gif_hash.c gifalloc.c \
  openbsd-reallocarray.c quantize.c
cp "$gif/gif_lib.h" "$dest/include/"

png=$(echo "$work"/libpng1.6-*/)
cp "$png/scripts/pnglibconf.h.prebuilt" "$png/pnglibconf.h"
library png "$png" png.c pngerror.c pngget.c pngmem.c pngpread.c pngread.c pngrio.c \
  pngrtran.c pngrutil.c pngset.c pngtrans.c pngwio.c pngwrite.c pngwtran.c pngwutil.c
cp "$png/png.h" "$png/pngconf.h" "$png/pnglibconf.h" "$dest/include/"
echo "giflib and libpng for Windows in $dest"
