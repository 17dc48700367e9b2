#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Frames as they appear from the other two animated formats, against the
# common tools that read them, in alternating runs, medians of ROUNDS:
# --png of a 300-frame 640x360 APNG against ffmpeg's APNG-to-PNG, and --png
# of a 300-frame 640x360 animated WebP against ImageMagick's
# convert -coalesce, with the peak memory of both (ffmpeg cannot read an
# animated WebP on Debian 12). Both files are made here from the same frames
# with Debian's own encoders (apngasm, img2webp), from ffmpeg's zooming
# Mandelbrot set, so that every frame changes and none compresses to nothing.
# apngasm takes minutes of processor time over them, so both files are kept
# in BUILD_DIR/format-bench-300-640x360 for later runs (delete it to make
# them anew).
# usage: bench/format_bench.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-5}
"$root/scripts/setup.sh" bench
[ -x "$build/src/cli/mervane-split" ] || MERVANE_TARGET=mervane-split "$root/scripts/build.sh" "$build"
splitter=$build/src/cli/mervane-split
# ImageMagick's own program, not a wrapper an earlier PATH entry may hold.
convert=$(command -v convert-im6.q16 || command -v convert)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$root/bench/timing.sh"

frames=300
size=640x360
inputs=$build/format-bench-$frames-$size
if ! [ -s "$inputs/anim.png" ] || ! [ -s "$inputs/anim.webp" ]; then
  mkdir -p "$inputs"
  ffmpeg -loglevel error -f lavfi -i "mandelbrot=size=$size:rate=25" -frames:v "$frames" \
    "$work/in%03d.png"
  # -z0: zlib rather than the default 7-Zip, which takes far longer still.
  apngasm "$work/anim.png" "$work"/in*.png 1 25 -z0 >/dev/null
  img2webp -loop 0 -d 40 "$work"/in*.png -o "$work/anim.webp" 2>/dev/null
  rm "$work"/in*.png
  mv "$work/anim.png" "$work/anim.webp" "$inputs/"
fi
cp "$inputs/anim.png" "$inputs/anim.webp" "$work/"

# Each run under /usr/bin/time for its peak resident memory in KiB and its
# processor seconds, user and system (in $work/m_TOOL): on a machine shared
# with other work the processor time is the steadier figure. The wrapper
# costs both sides of a pair the same millisecond.
peak_of() { /usr/bin/time -f '%M %U %S' -a -o "$work/m_$1" "${@:2}"; }
run_apng() { peak_of apng "$splitter" --png "$work/anim.png" "$work/apng/f" >/dev/null; }
run_ffmpeg() { peak_of ffmpeg ffmpeg -loglevel error -i "$work/anim.png" "$work/ffmpeg/f%04d.png"; }
run_webp() { peak_of webp "$splitter" --png "$work/anim.webp" "$work/webp/f" >/dev/null; }
run_magick() { peak_of magick "$convert" "$work/anim.webp" -coalesce "$work/magick/f%04d.png"; }

# timed TOOL...: alternate, then the medians: of the times in microseconds in
# $median_TOOL, of the peaks in KiB in $peak_TOOL and of the processor
# seconds in $cpu_TOOL.
timed() {
  local tool
  for tool in "$@"; do : > "$work/m_$tool"; done
  alternate "$@"
  for tool in "$@"; do
    printf -v "median_$tool" '%s' "$(median < "$work/t_$tool")"
    printf -v "peak_$tool" '%s' "$(awk '{print $1}' "$work/m_$tool" | median)"
    printf -v "cpu_$tool" '%s' "$(awk '{print $2 + $3}' "$work/m_$tool" | median)"
  done
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
count() { find "$work/$1" -type f | wc -l; }

echo "== $frames frames $size (ffmpeg mandelbrot), $(nproc) cores, medians of $rounds"
echo "  APNG $(stat -c %s "$work/anim.png") bytes (apngasm -z0), WebP $(stat -c %s "$work/anim.webp") bytes (img2webp, lossless)"
timed apng ffmpeg
echo "  APNG: --png ${median_apng} us, ffmpeg ${median_ffmpeg} us: $(ratio "$median_apng" "$median_ffmpeg") (goal 0.30)"
echo "    processor s: --png $cpu_apng, ffmpeg $cpu_ffmpeg: $(ratio "$cpu_apng" "$cpu_ffmpeg")"
echo "    files: --png $(count apng), ffmpeg $(count ffmpeg); bytes: --png $(du -sb "$work/apng" | cut -f1), ffmpeg $(du -sb "$work/ffmpeg" | cut -f1)"
timed webp magick
echo "  WebP: --png ${median_webp} us, convert -coalesce ${median_magick} us: $(ratio "$median_webp" "$median_magick") (goal 0.30)"
echo "    processor s: --png $cpu_webp, convert $cpu_magick: $(ratio "$cpu_webp" "$cpu_magick")"
echo "    files: --png $(count webp), convert $(count magick); bytes: --png $(du -sb "$work/webp" | cut -f1), convert $(du -sb "$work/magick" | cut -f1)"
echo "  APNG peak KiB: --png $peak_apng, ffmpeg $peak_ffmpeg: $(ratio "$peak_apng" "$peak_ffmpeg")"
echo "  WebP peak KiB: --png $peak_webp, convert -coalesce $peak_magick: $(ratio "$peak_webp" "$peak_magick") (goal 0.20)"
echo "  (ImageMagick as its policy.xml limits it: past its memory and map limits the"
echo "  frames go to pixel cache files in its temporary folder, not counted above.)"
