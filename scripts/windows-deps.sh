#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# windows-deps.sh DEST: builds giflib and libdeflate as static MinGW-w64 libraries
# into DEST/include and DEST/lib, from Debian's own sources (with Debian's
# patches applied). zlib comes from the libz-mingw-w64-dev package. Does
# nothing when DEST already holds both libraries.
set -euo pipefail
dest=$(mkdir -p "$1" && cd "$1" && pwd)
[ -f "$dest/lib/libgif.a" ] && [ -f "$dest/lib/libdeflate.a" ] && exit 0

cc=x86_64-w64-mingw32-gcc-posix
ar=x86_64-w64-mingw32-ar
work=$dest/src
rm -rf "$work" && mkdir -p "$dest/include" "$dest/lib"
"$(dirname "$0")/debian-source.sh" "$work" giflib libdeflate

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

deflate=$(echo "$work"/libdeflate-*/)
library deflate "$deflate" lib/adler32.c lib/crc32.c lib/deflate_compress.c \
  lib/deflate_decompress.c lib/gzip_compress.c lib/gzip_decompress.c lib/utils.c \
  lib/zlib_compress.c lib/zlib_decompress.c lib/x86/cpu_features.c lib/arm/cpu_features.c
cp "$deflate/libdeflate.h" "$dest/include/"
echo "giflib and libdeflate for Windows in $dest"
