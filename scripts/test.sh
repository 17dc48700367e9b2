#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, then builds and runs every test: the normal
# tree, the Debian package under lintian, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer,
# the three fuzz targets for about a minute each, and the Windows build,
# window and packages included, under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" all

echo "== tests"
"$root/scripts/build.sh" "$root/build"
ctest --test-dir "$root/build" --output-on-failure -j2

echo "== the Debian package and the portable archive, judged by lintian"
"$root/scripts/package.sh" --lintian

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
"$root/scripts/build.sh" "$root/build-asan" -DMERVANE_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build-asan" --output-on-failure -j2

echo "== fuzzing the divider, the thumbnails composed from its frame files, and the composer"
"$root/scripts/build.sh" "$root/build-fuzz" -DMERVANE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
# Two targets write frame files on every run: in memory they run ten times as often.
fuzz_files=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$fuzz_files"' EXIT
for target in frame_split_fuzz thumbnail_fuzz compose_fuzz; do
  corpus="$root/build-fuzz/corpus-$target"
  rm -rf "$corpus" && "$root/build-fuzz/fuzz/make_fuzz_corpus" "$corpus"
  log="$root/build-fuzz/$target.log"
  # The divider's inputs grow as large as the corpus's largest file at once.
  lengths=(-max_len=8192)
  [ "$target" = frame_split_fuzz ] && lengths=(-max_len=65536 -len_control=0)
  if ! TMPDIR=$fuzz_files QT_QPA_PLATFORM=offscreen "$root/build-fuzz/fuzz/$target" \
      -max_total_time="${MERVANE_FUZZ_SECONDS:-60}" "${lengths[@]}" -timeout=10 \
      -print_final_stats=1 -artifact_prefix="$root/build-fuzz/" "$corpus" >"$log" 2>&1; then
    tail -n 60 "$log"
    exit 1
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|new_units_added)' "$log"
  echo "fuzz $target: no crash, leak or out-of-bounds access"
done

echo "== the Windows build (MinGW-w64), window included, tested under Wine"
"$root/scripts/windows-deps.sh" "$root/build-windows/deps"
# A static Qt for MinGW, built once (about 45 minutes) and then cached.
qt=$("$root/scripts/windows-qt.sh" | tail -n 1)
"$root/scripts/build.sh" "$root/build-windows" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DMERVANE_WINDOWS_QT="$qt" -DCMAKE_PREFIX_PATH="$qt" -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
# Now and then Wine loses a program's exit status as it ends: one more try.
QT_QPA_PLATFORM=offscreen ctest --test-dir "$root/build-windows" --output-on-failure -j2 \
  --repeat until-pass:2
# Both builds on the sample animations and on what the fuzzers found above.
# Frames of 3000 x 1600 too, whose buffers are far larger than the rest's.
"$root/build/tests/make_gif" --constant 3 3000 1600 3000 1600 "$fuzz_files/large.gif"
"$root/tests/windows/same_output.sh" "$root/build/src/cli/mervane-split" \
  "$root/build-windows/mervane-split.exe" "$root"/tests/data/*.gif "$fuzz_files/large.gif" \
  "$root"/build-fuzz/corpus-{frame_split,compose}_fuzz/*
# The window itself, dropped on for real, and the installer and the zip.
# Wine's drag and drop now and then loses a step on a loaded machine: one
# more try before it counts as a failure.
"$root/tests/windows/window_e2e.sh" "$root/build" "$root/build-windows" ||
  "$root/tests/windows/window_e2e.sh" "$root/build" "$root/build-windows"
"$root/tests/windows/install_e2e.sh" "$root/build" "$root/build-windows"
