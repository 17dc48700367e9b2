#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times a drop of a 127-frame 640x360 GIF against dividing it with the
# divider and composing its frames once; then saves frames of 8192x8192 and
# prints the longest the window went without its events (how long END could
# wait) against the same work with no window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" ffmpeg
"$root/scripts/build.sh" "$root/build-bench" -DMERVANE_BENCH=ON -DMERVANE_TESTS=OFF
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 -frames:v 127 -loop 0 "$work/anim.gif"
"$root/build-bench/bench/drop_bench" "$work/anim.gif" "${1:-7}"
