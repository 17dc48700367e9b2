#!/usr/bin/env bash
# Builds the Debian package and the portable .tar.gz into build-package/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" dpkg-dev file
MERVANE_TARGET="" "$root/scripts/build.sh" "$root/build-package" -DMERVANE_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
(cd "$root/build-package" && cpack)
ls "$root"/build-package/mervane*.deb "$root"/build-package/mervane*.tar.gz
