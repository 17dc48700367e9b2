#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# same_output.sh LINUX_SPLIT WINDOWS_SPLIT_EXE GIF...: runs both builds of
# mervane-split on every GIF, in every output mode, and fails unless they
# write the same files with the same bytes, print the same standard output
# and exit with the same status. The Windows build runs under Wine.
set -euo pipefail
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
linux=$(absolute "$1") windows=$(absolute "$2")
shift 2
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run.sh
work=$(mktemp -d)
"$wine_run" --keep-server
trap '"$wine_run" --stop-server || true; rm -rf "$work"' EXIT

modes=("" "--full" "--png" "--info --json" "--sheet 3 --distinct")
count=0
for gif in "$@"; do
  source=$(absolute "$gif")
  for m in "${!modes[@]}"; do
    read -r -a options <<<"${modes[$m]}"
    for side in linux windows; do
      out=$work/$side/$count-$m
      mkdir -p "$out"
      status=0
      if [ "$side" = linux ]; then
        (cd "$out" && "$linux" "${options[@]}" "$source" f >stdout 2>/dev/null) || status=$?
        expected=$status
      else
        # Now and then Wine loses a program's exit status as it ends (a
        # SIGQUIT from its server): a status that differs gets two more runs.
        for _ in 1 2 3; do
          status=0
          rm -rf "$out" && mkdir -p "$out"
          # Wine shows the Unix root as drive Z:.
          (cd "$out" && "$wine_run" "$windows" "${options[@]}" "Z:$source" f >stdout 2>stderr) ||
            status=$?
          [ "$status" = "$expected" ] && break
        done
        # Text-mode output ends its lines with "\r\n" there.
        sed -i 's/\r$//' "$out/stdout"
      fi
      # The summary names the folder written to, which differs by build:
      # its own last part is compared.
      sed -i -E 's#^([0-9]+ frames? written to ).*[/\\]([0-9]+-[0-9]+)$#\1\2#' "$out/stdout"
      echo "$status" >"$out/status"
    done
  done
  count=$((count + 1))
done
if ! diff -r -x stderr "$work/linux" "$work/windows" >"$work/differences"; then
  grep -v '^Only in' "$work/differences" | head -n 30
  echo "$(grep -c '^Only in' "$work/differences") files written by one build only:"
  grep '^Only in' "$work/differences" | head -n 5
  # What Wine or the program said where the statuses differ.
  grep -o "windows/[0-9]*-[0-9]*/status" "$work/differences" | head -n 3 |
    while read -r status; do tail -n 5 "$work/$(dirname "$status")/stderr"; done
  echo "same_output: the Windows build differs from the Linux build"
  exit 1
fi
files=$(find "$work/linux" -name 'f*' -type f | wc -l)
echo "same_output: $count GIFs, ${#modes[@]} modes, $files frame files: byte for byte the same"
