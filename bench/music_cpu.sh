#!/usr/bin/env bash
# Process CPU of the game idling in the title menu with and without its music,
# on a private Xvfb with OpenAL Soft's null output: sound modes 1 (music and
# effects) and 2 (effects only) of the same program, each run REPEAT times,
# medians printed (per cent of one core, user + system, over 10 s).
# Usage: bench/music_cpu.sh BUILD_DIR [REPEAT]   (BUILD_DIR holds korvane and data/)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:?usage: music_cpu.sh BUILD_DIR [REPEAT]}" && pwd)
repeat=${2:-3}
measure_seconds=10
settle_seconds=5

source "$root/tools/xvfb.sh"
start_private_xvfb
export ALSOFT_DRIVERS=null
ticks=$(getconf CLK_TCK)
work=$(mktemp -d)
trap 'kill $XVFB_PID 2>/dev/null || true; rm -rf "$work"' EXIT
ln -s "$build/data" "$work/data"

# The settings section of a state file with sound mode $1, checksum included.
state_with_mode() {
  local settings=(0 0 0 0 0 "$1" 0 0 0 0 64 64 10 0 0 0 0 0 0 0 0 0 0 0 0) i sum=0 line=""
  for i in "${!settings[@]}"; do
    line+="${settings[$i]}|"
    sum=$((sum + i * settings[i]))
  done
  echo "${line}${sum}|"
}

menu_cpu() { # menu_cpu MODE: per cent of one core in the menu
  state_with_mode "$1" > "$work/.vellumstate"
  (cd "$work" && exec "$build/korvane" >/dev/null 2>&1) &
  local game=$! before after
  sleep $settle_seconds
  before=$(awk '{print $14 + $15}' "/proc/$game/stat")
  sleep $measure_seconds
  after=$(awk '{print $14 + $15}' "/proc/$game/stat")
  kill $game; wait $game 2>/dev/null || true
  echo "scale=1; 100 * ($after - $before) / ($ticks * $measure_seconds)" | bc
}

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

with=() without=()
for ((r = 0; r < repeat; ++r)); do  # interleaved, so that the machine's load hits both alike
  with+=("$(menu_cpu 1)")
  without+=("$(menu_cpu 2)")
done
echo "menu CPU, % of one core over ${measure_seconds} s, median of $repeat:"
echo "  with music (mode 1)       $(printf '%s\n' "${with[@]}" | median)   (${with[*]})"
echo "  without music (mode 2)    $(printf '%s\n' "${without[@]}" | median)   (${without[*]})"
