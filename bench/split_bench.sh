#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times mervane-split against the floor of the file system (split -b writing
# the same number of files and bytes), against gifsicle --explode, and against
# the plain-search divider it replaced (built from BASELINE_REV), in
# alternation, and prints medians, ratios and mervane-split's peak memory.
# Then frames as they appear: --full against gifsicle --unoptimize --explode,
# and --info against the exact cut.
# usage: bench/split_bench.sh [BUILD_DIR] [ROUNDS] [BASELINE_REV]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-7}
"$root/scripts/setup.sh" ffmpeg gifsicle time
[ -x "$build/src/cli/mervane-split" ] || "$root/scripts/build.sh" "$build"
splitter="$build/src/cli/mervane-split"
baseline_rev=${3:-4decc45}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source "$root/bench/baseline.sh"
baseline=$(build_baseline "$baseline_rev" "$work/base")

source "$root/bench/timing.sh"
run_m() { "$splitter" "$source" "$work/m/f" >/dev/null; }
run_s() { split -b "$chunk" -a 6 "$work/flat.bin" "$work/s/f"; }
run_g() { gifsicle --explode "$source" -o "$work/g/f" 2>/dev/null; }
run_b() { "$baseline" "$source" "$work/b/f" >/dev/null; }
run_f() { "$splitter" --full "$source" "$work/f/f" >/dev/null; }
run_u() { gifsicle --unoptimize --explode "$source" -o "$work/u/f" 2>/dev/null; }
run_i() { "$splitter" --info "$source" >/dev/null; }
run_c() { "$splitter" "$source" "$work/c/f" >/dev/null; }

bench_one() {
  local label=$1
  source=$2
  local frames total
  mkdir -p "$work/m"
  frames=$("$splitter" "$source" "$work/m/f" | awk '{print $1}')
  total=$(cat "$work"/m/* | wc -c)
  chunk=$(( (total + frames - 1) / frames ))
  head -c "$total" /dev/urandom > "$work/flat.bin"
  alternate m s g b
  local tm ts tg tb peak_kb size
  tm=$(median < "$work/t_m"); ts=$(median < "$work/t_s"); tg=$(median < "$work/t_g")
  tb=$(median < "$work/t_b")
  peak_kb=$(/usr/bin/time -f %M "$splitter" "$source" "$work/m/f" 2>&1 >/dev/null | tail -1)
  size=$(stat -c %s "$source")
  echo "== $label: $frames frames (plain search: $(ls "$work/b" | wc -l)), source $size bytes, output $total bytes in $(ls "$work/s" | wc -l) split files"
  printf '  median us: mervane-split %d, split -b %d, gifsicle --explode %d, plain search %d\n' "$tm" "$ts" "$tg" "$tb"
  awk -v m="$tm" -v b="$tb" 'BEGIN {printf "  ratio to the plain-search divider: %.3f (bar 1.10)\n", m/b}'
  awk -v m="$tm" -v s="$ts" -v g="$tg" 'BEGIN {printf "  ratio to split -b: %.2f (bar 1.30)   ratio to gifsicle: %.3f (bar 0.20)\n", m/s, m/g}'
  awk -v p="$peak_kb" -v s="$size" 'BEGIN {printf "  peak memory: %.1f MiB = source + %.1f MiB (bar source + 16 MiB)\n", p/1024, p/1024 - s/1048576}'
}

# Frames as they appear: --full against gifsicle's unoptimized explode, and
# --info against the exact cut, in alternation.
bench_full() {
  local label=$1
  source=$2
  alternate f u i c
  local tf tu ti tc peak_kb size screen
  tf=$(median < "$work/t_f"); tu=$(median < "$work/t_u")
  ti=$(median < "$work/t_i"); tc=$(median < "$work/t_c")
  peak_kb=$(/usr/bin/time -f %M "$splitter" --full "$source" "$work/f/f" 2>&1 >/dev/null | tail -1)
  size=$(stat -c %s "$source")
  screen=$("$splitter" --info "$source" | tail -1 | sed -E 's/.*screen ([0-9]+)x([0-9]+).*/\1 \2/')
  echo "== $label, frames as they appear"
  printf '  median us: --full %d, gifsicle --unoptimize --explode %d, --info %d, exact cut %d\n' \
    "$tf" "$tu" "$ti" "$tc"
  awk -v f="$tf" -v u="$tu" -v i="$ti" -v c="$tc" 'BEGIN {printf "  --full / gifsicle: %.2f (bar 0.50)   --info / exact cut: %.2f (bar 2.00)\n", f/u, i/c}'
  awk -v p="$peak_kb" -v s="$size" -v sc="$screen" 'BEGIN {split(sc, d, " "); screens=d[1]*d[2]*4/1048576; printf "  peak memory of --full: %.1f MiB = source + %.1f MiB (bar source + 4 screens + 16 MiB = %.1f MiB)\n", p/1024, p/1024 - s/1048576, s/1048576 + 4*screens + 16}'
}

ffmpeg -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 -frames:v 1500 -loop 0 "$work/big.gif"
bench_one "1500 frames 640x360" "$work/big.gif"
bench_full "1500 frames 640x360" "$work/big.gif"
ffmpeg -loglevel error -f lavfi -i testsrc2=size=1920x1080:rate=25 -frames:v 200 -loop 0 "$work/hd.gif"
bench_full "200 frames 1920x1080" "$work/hd.gif"
ffmpeg -loglevel error -f lavfi -i testsrc2=size=16x16:rate=25 -frames:v 20000 -loop 0 "$work/tiny.gif"
bench_one "20000 frames 16x16" "$work/tiny.gif"
