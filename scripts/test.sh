#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# test.sh [STAGE...]: installs what is missing, then builds and runs the
# tests of each stage named, in this order; with none named, all of them
# (what CI runs):
#   unit      the normal tree: every unit, window and end-to-end test
#   package   the Debian package and the portable archive, judged by lintian
#   sanitize  the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   fuzz      the fuzz targets for about a minute each
#   windows   the Windows build, window and packages included, under Wine
# Each stage builds the trees it needs, so any one can run alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

all_stages=(unit package sanitize fuzz windows)
stages=("$@")
[ ${#stages[@]} -eq 0 ] && stages=("${all_stages[@]}")
for stage in "${stages[@]}"; do
  case " ${all_stages[*]} " in
    *" $stage "*) ;;
    *) echo "test.sh: unknown stage '$stage' (stages: ${all_stages[*]})" >&2; exit 2 ;;
  esac
done
wants() { case " ${stages[*]} " in *" $1 "*) return 0 ;; esac; return 1; }

groups=(build)
wants unit && groups+=(test)
wants package && groups+=(package)
{ wants sanitize || wants fuzz; } && groups+=(sanitize)
wants windows && groups+=(test windows)
"$root/scripts/setup.sh" "${groups[@]}"

# Fuzzers write frame files on every run: in memory they run ten times as often.
scratch=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Runs "$@" once more when it fails, saying so: Wine now and then loses a
# program's exit status as it ends, or a drag step on a loaded machine.
# A second failure counts.
retry_once() {
  local why=$1
  shift
  "$@" && return 0
  echo "== RETRY: '$*' failed; trying once more, since $why"
  "$@"
}

stage_unit() {
  echo "== tests"
  "$root/scripts/build.sh" "$root/build"
  ctest --test-dir "$root/build" --output-on-failure -j"$jobs"
}

stage_package() {
  echo "== the Debian package and the portable archive, judged by lintian"
  "$root/scripts/package.sh" --lintian
}

stage_sanitize() {
  echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  "$root/scripts/build.sh" "$root/build-asan" -DMERVANE_SANITIZE=ON
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$root/build-asan" --output-on-failure -j"$jobs"
}

stage_fuzz() {
  echo "== fuzzing the divider, the thumbnails composed from its frame files, the composer," \
    "and the animated WebP and APNG readers"
  "$root/scripts/build.sh" "$root/build-fuzz" -DMERVANE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
  local target corpus log lengths
  for target in frame_split_fuzz thumbnail_fuzz compose_fuzz webp_fuzz apng_fuzz; do
    corpus="$root/build-fuzz/corpus-$target"
    rm -rf "$corpus"
    case "$target" in
      webp_fuzz) "$root/build-fuzz/fuzz/make_format_corpus" "$corpus" webp ;;
      apng_fuzz) "$root/build-fuzz/fuzz/make_format_corpus" "$corpus" apng ;;
      *) "$root/build-fuzz/fuzz/make_fuzz_corpus" "$corpus" ;;
    esac
    log="$root/build-fuzz/$target.log"
    # The divider's inputs grow as large as the corpus's largest file at once.
    lengths=(-max_len=8192)
    [ "$target" = frame_split_fuzz ] && lengths=(-max_len=65536 -len_control=0)
    if ! TMPDIR=$scratch QT_QPA_PLATFORM=offscreen "$root/build-fuzz/fuzz/$target" \
        -max_total_time="${MERVANE_FUZZ_SECONDS:-60}" "${lengths[@]}" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$root/build-fuzz/" "$corpus" >"$log" 2>&1; then
      tail -n 60 "$log"
      exit 1
    fi
    grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|new_units_added)' "$log"
    echo "fuzz $target: no crash, leak or out-of-bounds access"
  done
}

stage_windows() {
  echo "== the Windows build (MinGW-w64), window included, tested under Wine"
  # The Linux build is the reference the Windows one is compared with.
  [ -x "$root/build/src/cli/mervane-split" ] || "$root/scripts/build.sh" "$root/build"
  "$root/scripts/windows-deps.sh" "$root/build-windows/deps"
  # A static Qt for MinGW, built once (30 to 60 minutes) and then cached.
  local qt
  qt=$("$root/scripts/windows-qt.sh" | tail -n 1)
  "$root/scripts/build.sh" "$root/build-windows" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DMERVANE_WINDOWS_QT="$qt" -DCMAKE_PREFIX_PATH="$qt" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  if ! QT_QPA_PLATFORM=offscreen ctest --test-dir "$root/build-windows" --output-on-failure \
      -j"$jobs"; then
    echo "== RETRY: the failed Windows tests once more, since Wine now and then loses" \
      "a program's exit status as it ends"
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$root/build-windows" --output-on-failure \
      --rerun-failed
  fi
  # Both builds on the sample animations and on what the fuzzers found,
  # when the fuzz stage ran. Frames of 3000 x 1600 too, whose buffers are
  # far larger than the rest's.
  "$root/build/tests/make_gif" --constant 3 3000 1600 3000 1600 "$scratch/large.gif"
  local found=()
  shopt -s nullglob
  found=("$root"/build-fuzz/corpus-{frame_split,compose}_fuzz/*)
  shopt -u nullglob
  "$root/tests/windows/same_output.sh" "$root/build/src/cli/mervane-split" \
    "$root/build-windows/mervane-split.exe" "$root"/tests/data/*.gif "$scratch/large.gif" \
    "${found[@]}"
  # The window itself, dropped on for real, and the installer and the zip.
  retry_once "Wine's drag and drop now and then loses a step on a loaded machine" \
    "$root/tests/windows/window_e2e.sh" "$root/build" "$root/build-windows"
  "$root/tests/windows/install_e2e.sh" "$root/build" "$root/build-windows"
}

for stage in "${all_stages[@]}"; do
  if wants "$stage"; then "stage_$stage"; fi
done
echo "== test.sh: passed: ${stages[*]}"
