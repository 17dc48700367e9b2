#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Frames as they appear against their peers, in alternating runs, medians of
# ROUNDS: --png against ffmpeg's GIF-to-PNG (with the bytes of both),
# --full against gifsicle --unoptimize --explode, and --full on one thread
# against --full on two.
# usage: bench/output_bench.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-5}
"$root/scripts/setup.sh" ffmpeg gifsicle
[ -x "$build/src/cli/mervane-split" ] || "$root/scripts/build.sh" "$build"
splitter=$build/src/cli/mervane-split

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$root/bench/timing.sh"

run_png() { "$splitter" --png "$source" "$work/png/f" >/dev/null; }
run_ffmpeg() { ffmpeg -loglevel error -i "$source" "$work/ffmpeg/f%03d.png"; }
run_full() { "$splitter" --full "$source" "$work/full/f" >/dev/null; }
run_gifsicle() { gifsicle --unoptimize --explode "$source" -o "$work/gifsicle/f" 2>/dev/null; }
run_jobs1() { "$splitter" --full --jobs 1 "$source" "$work/jobs1/f" >/dev/null; }
run_jobs2() { "$splitter" --full --jobs 2 "$source" "$work/jobs2/f" >/dev/null; }

# timed TOOL...: alternate, then the medians in microseconds in $median_TOOL.
timed() {
  alternate "$@"
  local tool
  for tool in "$@"; do printf -v "median_$tool" '%s' "$(median < "$work/t_$tool")"; done
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

ffmpeg -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 -frames:v 1500 -loop 0 "$work/big.gif"
source=$work/big.gif
echo "== 1500 frames 640x360 (ffmpeg testsrc2), $(nproc) cores"
timed png ffmpeg
echo "  --png ${median_png} us, ffmpeg ${median_ffmpeg} us: $(ratio "$median_png" "$median_ffmpeg") (goal 0.30)"
echo "  bytes: --png $(du -sb "$work/png" | cut -f1), ffmpeg $(du -sb "$work/ffmpeg" | cut -f1)"
timed full gifsicle
echo "  --full ${median_full} us, gifsicle -U --explode ${median_gifsicle} us: $(ratio "$median_full" "$median_gifsicle") (goal 0.25)"
timed jobs1 jobs2
echo "  --full --jobs 2 ${median_jobs2} us, --jobs 1 ${median_jobs1} us: $(ratio "$median_jobs2" "$median_jobs1") (goal 0.65)"
