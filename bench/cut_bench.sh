#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The exact cut against the floor of the file system: how many system calls
# mervane-split makes per new frame file (strace), over the whole run and
# over its writing alone, and its time against file_floor, which writes the
# same files with only open, write and close. Alternating runs into empty
# folders, medians of ROUNDS.
# usage: bench/cut_bench.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
rounds=${2:-9}
"$root/scripts/setup.sh" ffmpeg strace
[ -x "$build/bench/file_floor" ] || "$root/scripts/build.sh" "$build" -DMERVANE_BENCH=ON
splitter=$build/src/cli/mervane-split
floor=$build/bench/file_floor

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$root/bench/timing.sh"

# calls SOURCE FRAMES: system calls per frame over the run, and from the
# first frame file's creation to the last one's close.
calls() {
  rm -rf "$work/s" && mkdir "$work/s"
  strace -f -o "$work/trace" "$splitter" "$1" "$work/s/f" >/dev/null
  local last
  last=$(printf 'f%03d.gif' "$2")
  awk -v frames="$2" -v last="$last" '
    /^[0-9]+ +(\+\+\+|---)/ {next}
    {n++}
    first == 0 && /f001\.gif"/ {first = n}
    index($0, last "\"") {seen_last = 1}
    seen_last && done == 0 && / close\(/ {done = n}
    END {printf "  system calls per frame: %.3f over the run, %.3f while writing (goal 3, at most 3.01)\n", n / frames, (done - first + 1) / frames}
  ' "$work/trace"
}

bench() {
  local label=$1 source=$2 frames tm tf
  rm -rf "$work/m" && mkdir "$work/m"
  frames=$("$splitter" "$source" "$work/m/f" | awk '{print $1}')
  mapfile -t sizes < <(stat -c %s "$work"/m/* )
  echo "== $label: $frames frames, $(du -sb "$work/m" | cut -f1) bytes of frame files"
  calls "$source" "$frames"
  : > "$work/t_m"; : > "$work/t_f"
  for _ in $(seq "$rounds"); do
    rm -rf "$work/m" "$work/f" && mkdir "$work/m" "$work/f" && sync
    local start
    start=$(now); "$splitter" "$source" "$work/m/f" >/dev/null; echo $(( ($(now) - start) / 1000 )) >> "$work/t_m"
    start=$(now); "$floor" "$work/f/f" "${sizes[@]}"; echo $(( ($(now) - start) / 1000 )) >> "$work/t_f"
  done
  tm=$(median < "$work/t_m"); tf=$(median < "$work/t_f")
  printf '  median us: mervane-split %d, file_floor %d; ratio %.2f\n' "$tm" "$tf" "$(awk -v m="$tm" -v f="$tf" 'BEGIN {print m/f}')"
}

ffmpeg -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 -frames:v 1500 -loop 0 "$work/big.gif"
bench "1500 frames 640x360" "$work/big.gif"
ffmpeg -loglevel error -f lavfi -i testsrc2=size=16x16:rate=25 -frames:v 20000 -loop 0 "$work/tiny.gif"
bench "20000 frames 16x16" "$work/tiny.gif"
