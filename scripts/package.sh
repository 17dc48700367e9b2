#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# package.sh [--lintian]: builds the Debian package and the portable .tar.gz
# into build-package/; with --lintian, also checks the .deb with lintian.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" package
# Debian's own hardening flags, as a package built by the distribution gets them.
MERVANE_TARGET="" "$root/scripts/build.sh" "$root/build-package" -DMERVANE_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)"
(cd "$root/build-package" && cpack)
ls "$root"/build-package/mervane*.deb "$root"/build-package/mervane*.tar.gz
# The .deb as a distribution would judge it: any error or warning fails.
if [ "${1:-}" = --lintian ]; then
  lintian --fail-on error,warning \
    "$root"/build-package/mervane_*.deb
fi
