#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the window (not the tests), and starts Mervane.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
MERVANE_TARGET=mervane "$root/scripts/build.sh" "$root/build"
exec "$root/build/src/app/mervane" "$@"
