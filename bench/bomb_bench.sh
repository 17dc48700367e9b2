#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times mervane-split on small files whose cost once followed the logical
# screen rather than what their frames cover (bench/make_bombs.cpp), against
# the same program on an ordinary file of the same size and against the build
# of BASELINE_REV, in one run; then a drop of 127 frames on a 4096 x 4096
# screen on the window, with the longest time it went without running events.
# usage: bench/bomb_bench.sh [BASELINE_REV] [SECONDS_ALLOWED]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
baseline_rev=${1:-f946471}
allowed=${2:-120}
"$root/scripts/setup.sh" time
"$root/scripts/build.sh" "$root/build-bench" -DMERVANE_BENCH=ON -DMERVANE_TESTS=OFF
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$root/bench/baseline.sh"
new="$root/build-bench/src/cli/mervane-split"
old=$(build_baseline "$baseline_rev" "$work/base")
"$root/build-bench/bench/make_bombs" "$work/bombs"

# run FILE PROGRAM [ARG]...: prints "seconds peak_MB MB_written exit_status"
# (seconds capped at the allowance).
run() {
  local file=$1 status=0
  shift
  rm -rf "$work/out" && mkdir "$work/out"
  /usr/bin/time -f "%e %M" -o "$work/time" timeout "$allowed" "$@" "$file" "$work/out/f" \
    >/dev/null 2>&1 || status=$?
  local written
  written=$(du -sm "$work/out" | cut -f1)
  tail -n 1 "$work/time" | awk -v cap="$allowed" -v w="$written" -v s="$status" \
    '/^[0-9.]+ [0-9]+$/ {print $1, int($2 / 1024), w, s; next} {print cap, 0, w, s}'
}
modes() { [ "$1" = cut ] || echo "$1"; }

printf '%-22s %-6s %7s %6s %6s %4s %8s %7s %7s %6s %6s\n' file mode new_s new_MB out_MB exit \
  ordinary ratio old_s old_MB out_MB
for bomb in restore-previous-10 restore-previous-1000 rows-off-screen many-colours; do
  for mode in cut --full --png; do
    read -r ns nm nw ne < <(run "$work/bombs/$bomb.gif" "$new" $(modes "$mode"))
    read -r os _ _ _ < <(run "$work/bombs/$bomb-ordinary.gif" "$new" $(modes "$mode"))
    read -r bs bm bw _ < <(run "$work/bombs/$bomb.gif" "$old" $(modes "$mode"))
    printf '%-22s %-6s %7s %6s %6s %4s %8s %7.2f %7s %6s %6s\n' "$bomb" "$mode" "$ns" "$nm" \
      "$nw" "$ne" "$os" "$(echo "$ns $os" | awk '{print ($2 > 0 ? $1 / $2 : 0)}')" "$bs" "$bm" "$bw"
  done
done
echo "Seconds are capped at $allowed; ratio: the new build on the file against the same on an"
echo "ordinary file of its size. Exit 2 with restore-previous-1000: refused by the pixel budget."
"$new" --full --limit-pixels 0 "$work/bombs/many-colours.gif" "$work/f" >/dev/null
largest=$(ls -S "$work"/f*.gif | head -n 1)
echo "many-colours --full: largest frame $(stat -c %s "$largest") bytes, raw RGBA $((2048 * 2048 * 4))"
"$root/build-bench/bench/drop_bench" "$work/bombs/thumbnails-4096.gif" 3
