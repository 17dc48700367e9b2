#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# setup.sh [GROUP...] [PACKAGE...]: installs the Debian packages a task
# needs, only those that are missing, with sudo when not root. Groups:
#   build     building and running both programs (the default)
#   test      the test suites, the window's under a private X server
#   package   the Debian package and its checks
#   sanitize  the sanitizer and fuzzing builds (clang)
#   windows   the Windows build and its tests under Wine
#   bench     the benchmarks in bench/ and the tools they are timed against
#   all       every group
# Any other word is a package to install as well.
set -euo pipefail

build=(cmake g++ make ninja-build pkg-config qt6-base-dev libgl-dev libgif-dev libdeflate-dev
  libwebp-dev libpng-dev
  fonts-ipafont-gothic xdg-utils)
test=(libgtest-dev xvfb xdotool x11-utils imagemagick webp apngasm)
package=(desktop-file-utils appstream man-db lintian dpkg-dev file)
sanitize=(clang libclang-rt-14-dev)
windows=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 fonts-wine dpkg-dev nsis zip cmark)
bench=(ffmpeg gifsicle strace time imagemagick webp apngasm)

packages=()
grouped=false
for word in "$@"; do
  case "$word" in
    build) packages+=("${build[@]}") grouped=true ;;
    test) packages+=("${build[@]}" "${test[@]}") grouped=true ;;
    package) packages+=("${build[@]}" "${package[@]}") grouped=true ;;
    sanitize) packages+=("${build[@]}" "${test[@]}" "${sanitize[@]}") grouped=true ;;
    windows) packages+=("${build[@]}" "${test[@]}" "${windows[@]}") grouped=true ;;
    bench) packages+=("${build[@]}" "${bench[@]}") grouped=true ;;
    all)
      packages+=("${build[@]}" "${test[@]}" "${package[@]}" "${sanitize[@]}" "${windows[@]}"
        "${bench[@]}")
      grouped=true
      ;;
    *) packages+=("$word") ;;
  esac
done
$grouped || packages+=("${build[@]}")

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u)

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
