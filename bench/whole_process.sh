#!/usr/bin/env bash
# Whole-process figures of the game on a private Xvfb, in one run:
#   - process CPU (per cent of one core, user + system, over 10 s) idling in
#     the title menu and during play at 60 updates per second, and the same
#     for bench/minimal_glfw_frame (a bare GLFW program drawing a comparable
#     frame at the same rate), with the ratios;
#   - time from start to the first drawn frame, resident memory in play, and
#     the longest collector step, from korvane-observed (the game's own
#     objects with a reporting wrapper around the host's collector steps).
# Usage: bench/whole_process.sh BUILD_DIR BENCH_BUILD_DIR
#   BUILD_DIR holds data/ and tests/e2e/korvane-observed (the normal build);
#   BENCH_BUILD_DIR holds bench/minimal_glfw_frame (-DKORVANE_BENCH=ON).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:?usage: whole_process.sh BUILD_DIR BENCH_BUILD_DIR}" && pwd)
bench=$(cd "${2:?usage: whole_process.sh BUILD_DIR BENCH_BUILD_DIR}" && pwd)
measure_seconds=10
settle_seconds=4

source "$root/tools/xvfb.sh"
start_private_xvfb
export ALSOFT_DRIVERS=null
ticks=$(getconf CLK_TCK)

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Per cent of one core that process $1 uses over the measuring interval.
cpu_percent() {
  local before after
  before=$(cpu_ticks "$1")
  sleep $measure_seconds
  after=$(cpu_ticks "$1")
  echo "scale=1; 100 * ($after - $before) / ($ticks * $measure_seconds)" | bc
}

work=$(mktemp -d)
trap 'kill $XVFB_PID 2>/dev/null || true; rm -rf "$work"' EXIT
ln -s "$build/data" "$work/data"

# The game: menu, then a game at the hard difficulty.
(cd "$work" && exec "$build/tests/e2e/korvane-observed" >out.txt 2>err.txt) &
game=$!
sleep $settle_seconds
window=$(xdotool search --pid $game --name '^Korvane$' | head -n1)
menu=$(cpu_percent $game)
xdotool mousemove --window "$window" 384 336 mousedown 1 sleep 0.15 mouseup 1
sleep $settle_seconds
play=$(cpu_percent $game)
rss=$(awk '/VmRSS/ {print $2}' /proc/$game/status)
kill $game; wait $game 2>/dev/null || true
first_frame=$(awk '/^first_frame_ms/ {print $2}' "$work/err.txt")
longest_step=$(awk '/^gc / && $10 > m {m = $10} END {print m + 0}' "$work/err.txt")

# The reference program.
"$bench/bench/minimal_glfw_frame" $((measure_seconds + settle_seconds + 2)) &
reference=$!
sleep $settle_seconds
minimal=$(cpu_percent $reference)
wait $reference || true

echo "process CPU, % of one core over ${measure_seconds} s:"
echo "  game idling in the menu      $menu"
echo "  game in play                 $play"
echo "  minimal GLFW program         $minimal"
echo "  ratio menu / minimal         $(echo "scale=2; $menu / $minimal" | bc)"
echo "  ratio play / minimal         $(echo "scale=2; $play / $minimal" | bc)"
echo "start to first drawn frame     ${first_frame} ms"
echo "resident memory in play        ${rss} KiB"
echo "longest collector step         ${longest_step} us"
