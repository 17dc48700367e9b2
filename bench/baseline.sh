# SPDX-License-Identifier: MIT
# Sourced by the benchmarks: build_baseline REV DIR builds mervane-split from
# the commit REV in DIR and prints the program's path.
build_baseline() {
  local rev=$1 dir=$2
  mkdir -p "$dir/src"
  git -C "$root" archive "$rev" | tar -x -C "$dir/src"
  cmake -S "$dir/src" -B "$dir/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMERVANE_TESTS=OFF >/dev/null
  cmake --build "$dir/build" -j"$(nproc)" --target mervane-split >/dev/null
  echo "$dir/build/src/cli/mervane-split"
}
