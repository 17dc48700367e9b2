#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# build.sh [BUILD_DIR] [extra cmake arguments...]: configures and builds one
# tree; all of it, or only the target named in MERVANE_TARGET.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
shift || true
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j"$(nproc 2>/dev/null || echo 2)" ${MERVANE_TARGET:+--target "$MERVANE_TARGET"}
