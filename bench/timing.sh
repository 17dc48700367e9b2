# SPDX-License-Identifier: MIT
# Sourced by the benchmarks, which set $work and $rounds first.
now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# alternate TOOL...: runs run_TOOL for each TOOL in turn, $rounds times, each
# into a fresh folder $work/TOOL, and records the microseconds in $work/t_TOOL.
alternate() {
  local tool start
  for tool in "$@"; do : > "$work/t_$tool"; done
  for _ in $(seq "$rounds"); do
    for tool in "$@"; do
      rm -rf "${work:?}/$tool" && mkdir "$work/$tool" && sync
      start=$(now)
      "run_$tool"
      echo $(( ($(now) - start) / 1000 )) >> "$work/t_$tool"
    done
  done
}
