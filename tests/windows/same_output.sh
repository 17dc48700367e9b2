#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# same_output.sh LINUX_SPLIT WINDOWS_SPLIT_EXE FILE...: runs both builds of
# mervane-split on every file, in every output mode, and fails unless they
# write the same files with the same bytes, print the same standard output
# and exit with the same status. The Windows build runs under Wine.
# Each of the sample GIFs in tests/data among the FILEs whose screen is at
# most 640 x 480 also gives
# animated WebP and APNG files made from its first frames by Debian's own
# encoders: gif2webp (lossy, with the GIF's transparency), and from the
# frames cropped to an odd size, img2webp (lossless, and lossy with an alpha
# chunk) and apngasm.
set -euo pipefail
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
linux=$(absolute "$1") windows=$(absolute "$2")
shift 2
here=$(cd "$(dirname "$0")" && pwd)
samples=$(cd "$here/../data" && pwd)
wine_run=$here/../../scripts/wine-run.sh
work=$(mktemp -d)
"$wine_run" --keep-server
trap '"$wine_run" --stop-server || true; rm -rf "$work"' EXIT

# make_animations GIF: writes animated WebP and APNG files made from GIF's
# first frames into $work/inputs and prints their paths.
made=0
make_animations() {
  local gif=$1 size frames=$work/frames-$made in=$work/inputs/$made
  read -r -a size < <(od -An -tu2 -j6 -N4 "$gif")
  # Cropping takes 3 columns and a row.
  [ "${size[0]:-0}" -ge 4 ] && [ "${size[0]}" -le 640 ] && [ "${size[1]:-0}" -ge 2 ] &&
    [ "${size[1]}" -le 480 ] || return 0
  mkdir -p "$frames" "$in"
  # A GIF the Linux build cannot compose gives no animations.
  (cd "$frames" && "$linux" --png --frames 1-5 "$gif" f >/dev/null 2>&1) || return 0
  local png odd cropped=()
  for png in "$frames"/f*.png; do
    # An odd width and height, by way of libwebp's own cropping. apngasm
    # finds the frames after the first by the number that ends its name.
    odd=$frames/odd${png##*/f}
    cwebp -quiet -lossless -exact -crop 1 1 $((size[0] - 3)) $((size[1] - 1)) "$png" \
      -o "$odd.webp" 2>/dev/null && dwebp -quiet "$odd.webp" -o "$odd" 2>/dev/null ||
      { rm -rf "$in"; return 0; }
    cropped+=("$odd")
  done
  # A GIF an encoder refuses (the fuzzers' finds among them) gives none.
  { gif2webp -quiet -lossy -q 50 "$gif" -o "$in/gif2webp-lossy.webp" &&
    img2webp -lossless -d 70 "${cropped[@]}" -o "$in/img2webp-lossless.webp" &&
    img2webp -lossy -q 40 -d 90 "${cropped[@]}" -o "$in/img2webp-lossy.webp" &&
    apngasm "$in/apngasm.png" "${cropped[@]}" 3 40; } >/dev/null 2>&1 || { rm -rf "$in"; return 0; }
  made=$((made + 1))
  printf '%s\n' "$in"/*
}

sources=()
for file in "$@"; do
  sources+=("$(absolute "$file")")
  case "$(absolute "$file")" in
    "$samples"/*.gif)
      make_animations "$(absolute "$file")" >"$work/made"
      mapfile -t -O "${#sources[@]}" sources <"$work/made"
      ;;
  esac
done

gif_modes=("" "--full" "--png" "--info --json" "--sheet 3 --distinct")
animation_modes=("" "--json" "--png" "--info" "--info --json" "--full" "--sheet 3 --distinct")
count=0
animations=0
for source in "${sources[@]}"; do
  modes=("${gif_modes[@]}")
  case "$(head -c 4 "$source" | od -An -c | tr -d ' ')" in
    RIFF | 211PNG)
      modes=("${animation_modes[@]}")
      animations=$((animations + 1))
      ;;
  esac
  for m in "${!modes[@]}"; do
    read -r -a options <<<"${modes[$m]}"
    # --info writes no files and so takes no prefix: given one, both builds
    # would only refuse the extra operand.
    prefix=(f)
    case " ${options[*]} " in *" --info "*) prefix=() ;; esac
    for side in linux windows; do
      out=$work/$side/$count-$m
      mkdir -p "$out"
      status=0
      if [ "$side" = linux ]; then
        (cd "$out" && "$linux" "${options[@]}" "$source" "${prefix[@]}" >stdout 2>/dev/null) || status=$?
        expected=$status
      else
        # Now and then Wine loses a program's exit status as it ends (a
        # SIGQUIT from its server): a status that differs gets two more runs.
        for _ in 1 2 3; do
          status=0
          rm -rf "$out" && mkdir -p "$out"
          # Wine shows the Unix root as drive Z:.
          (cd "$out" && "$wine_run" "$windows" "${options[@]}" "Z:$source" "${prefix[@]}" \
            >stdout 2>stderr) ||
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
echo "same_output: $((count - animations)) GIFs in ${#gif_modes[@]} modes and $animations" \
  "animated WebP and APNG in ${#animation_modes[@]} modes, $files frame files:" \
  "byte for byte the same"
