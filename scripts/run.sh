#!/usr/bin/env bash
# Installs what is missing, builds, and starts Mervane.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
exec "$root/build/src/app/mervane" "$@"
