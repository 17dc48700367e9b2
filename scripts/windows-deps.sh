#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# windows-deps.sh DEST: builds giflib, libdeflate, libwebp (with its demux and
# mux libraries and sharpyuv) and libpng as static MinGW-w64 libraries into
# DEST/include and DEST/lib, from Debian's own sources (with Debian's patches
# applied). zlib, which libpng needs, comes from the libz-mingw-w64-dev
# package. Does nothing when a finished run left every library in DEST; a
# DEST that an older version of this script built, with fewer libraries, or
# that a run left unfinished, is built anew.
set -euo pipefail
dest=$(mkdir -p "$1" && cd "$1" && pwd)
libraries=(gif deflate webp webpdemux webpmux sharpyuv png)
# Written last, naming what was built: its absence marks an unfinished or
# older DEST.
stamp=$dest/lib/built-by-windows-deps
# Two builds started at once (two test runs) would pull the same folder
# apart: the second waits, then finds the first one's work done.
exec 9>"$dest/.lock"
flock 9
[ "$(cat "$stamp" 2>/dev/null)" = "${libraries[*]}" ] && exit 0

cc=x86_64-w64-mingw32-gcc-posix
ar=x86_64-w64-mingw32-ar
jobs=$(nproc 2>/dev/null || echo 2)
work=$dest/src
rm -rf "$work" "$stamp" && mkdir -p "$dest/include" "$dest/lib"
"$(dirname "$0")/debian-source.sh" "$work" giflib libdeflate libwebp libpng1.6

# Compilers run $jobs at a time; waiting on each one's own id returns its
# exit status, so a failed compile stops the script (set -e).
pending=()
in_background() {
  if [ ${#pending[@]} -ge "$jobs" ]; then
    wait "${pending[0]}"
    pending=("${pending[@]:1}")
  fi
  "$@" &
  pending+=($!)
}
wait_all() {
  local pid
  for pid in "${pending[@]}"; do wait "$pid"; done
  pending=()
}

# library NAME SOURCE_DIR FILE...: compiles FILEs into DEST/lib/libNAME.a,
# with the extra compiler options in the array `flags` (empty by default).
flags=()
library() {
  local name=$1 dir=$2
  shift 2
  local objects=() file simd
  for file in "$@"; do
    simd=()
    # Only these files use SSE4.1; libwebp picks them at run time when the
    # processor has it (WEBP_HAVE_SSE41 in `flags`).
    case "$file" in *_sse41.c) simd=(-msse4.1) ;; esac
    in_background "$cc" -O2 "${flags[@]}" "${simd[@]}" -I"$dir" -c "$dir/$file" \
      -o "$dir/${file%.c}.o"
    objects+=("$dir/${file%.c}.o")
  done
  wait_all
  # A new archive, not members added to an older one's.
  rm -f "$dest/lib/lib$name.a"
  "$ar" rcs "$dest/lib/lib$name.a" "${objects[@]}"
  flags=()
}

# The C files of FOLDER (relative to `here`) for x86-64: no ARM or MIPS ones.
x86_sources() {
  (cd "$here" && for file in "$1"/*.c; do
    case "$file" in *_neon.c | *_msa.c | *_mips*.c) ;; *) echo "$file" ;; esac
  done)
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

# libwebp: the decoder, the encoder (lossless WebP out) and what both share;
# threads through Win32's own calls, as libwebp's Windows build has them.
here=$(echo "$work"/libwebp-*/)
webp_flags=(-DWEBP_HAVE_SSE41 -DWEBP_USE_THREAD)
flags=("${webp_flags[@]}")
# shellcheck disable=SC2046  # one word per file
library sharpyuv "$here" $(x86_sources sharpyuv)
flags=("${webp_flags[@]}")
# shellcheck disable=SC2046
library webp "$here" $(x86_sources src/dec) $(x86_sources src/dsp) $(x86_sources src/enc) \
  $(x86_sources src/utils)
flags=("${webp_flags[@]}")
library webpdemux "$here" src/demux/anim_decode.c src/demux/demux.c
flags=("${webp_flags[@]}")
library webpmux "$here" src/mux/anim_encode.c src/mux/muxedit.c src/mux/muxinternal.c \
  src/mux/muxread.c
mkdir -p "$dest/include/webp"
cp "$here"/src/webp/{decode,encode,types,demux,mux,mux_types}.h "$dest/include/webp/"

# libpng with the configuration its own builds start from, and no
# processor-specific filters (their results are the same as the C code's).
png=$(echo "$work"/libpng1.6-*/)
cp "$png/scripts/pnglibconf.h.prebuilt" "$png/pnglibconf.h"
library png "$png" png.c pngerror.c pngget.c pngmem.c pngpread.c pngread.c pngrio.c \
  pngrtran.c pngrutil.c pngset.c pngtrans.c pngwio.c pngwrite.c pngwtran.c pngwutil.c
cp "$png"/{png.h,pngconf.h,pnglibconf.h} "$dest/include/"
echo "${libraries[*]}" >"$stamp"
echo "giflib, libdeflate, libwebp and libpng for Windows in $dest"
