#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs only what building and running the window need, builds the window
# (no tests, in a tree of its own), and starts Mervane.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" build
MERVANE_TARGET=mervane "$root/scripts/build.sh" "$root/build-run" -DMERVANE_TESTS=OFF
exec "$root/build-run/src/app/mervane" "$@"
