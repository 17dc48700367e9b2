#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages Mervane needs to build and test, only those
# that are missing, with sudo when not root.
set -euo pipefail

packages=(
  cmake g++ make ninja-build pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev
  libgif-dev libdeflate-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool x11-utils imagemagick
  fonts-ipafont-gothic
  xdg-utils
  desktop-file-utils appstream man-db lintian
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 dpkg-dev nsis zip
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
