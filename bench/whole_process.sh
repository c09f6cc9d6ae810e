#!/usr/bin/env bash
# Whole-process figures of the game on a private Xvfb with openbox, in one run:
#   - process CPU (per cent of one core, user + system, over 10 s) idling in
#     the title menu once it has slid in, during play at 60 updates per
#     second, and minimised during play; the same for bench/minimal_glfw_frame
#     (a bare GLFW program drawing a comparable frame at the same rate), with
#     the ratios;
#   - resident memory in play, and how much that is above the bare GLFW
#     program's (the graphics driver alone takes most of a resident set);
#   - time from start to the first drawn frame and the longest collector
#     step, from korvane-observed (the game's own objects with a reporting
#     wrapper around the host's collector steps).
# Usage: bench/whole_process.sh BUILD_DIR BENCH_BUILD_DIR [BASELINE_BUILD_DIR]
#   BUILD_DIR holds data/ and tests/e2e/korvane-observed (the normal build);
#   BENCH_BUILD_DIR holds bench/minimal_glfw_frame (-DKORVANE_BENCH=ON);
#   BASELINE_BUILD_DIR, if given, is another normal build (an older commit)
#   measured the same way in the same run, for before-and-after figures.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
usage="usage: whole_process.sh BUILD_DIR BENCH_BUILD_DIR [BASELINE_BUILD_DIR]"
build=$(cd "${1:?$usage}" && pwd)
bench=$(cd "${2:?$usage}" && pwd)
baseline=""
if [ $# -ge 3 ]; then baseline=$(cd "$3" && pwd); fi
measure_seconds=10
settle_seconds=4

source "$root/tools/xvfb.sh"
start_private_xvfb
export ALSOFT_DRIVERS=null
ticks=$(getconf CLK_TCK)
load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)

work=$(mktemp -d)
openbox --sm-disable >/dev/null 2>&1 &
window_manager=$!
trap 'kill $window_manager 2>/dev/null || true; kill $XVFB_PID 2>/dev/null || true; rm -rf "$work"' EXIT

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Per cent of one core that process $1 uses over the measuring interval.
cpu_percent() {
  local before after
  before=$(cpu_ticks "$1")
  sleep $measure_seconds
  after=$(cpu_ticks "$1")
  echo "scale=1; 100 * ($after - $before) / ($ticks * $measure_seconds)" | bc
}
rss_kib() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }

# measure_game BUILD_DIR PREFIX: sets PREFIX_menu, _play, _minimised, _rss,
# _first_frame and _longest_step.
measure_game() {
  local dir=$1 prefix=$2 run="$work/$2" game window
  mkdir -p "$run"
  ln -s "$dir/data" "$run/data"
  (cd "$run" && exec "$dir/tests/e2e/korvane-observed" >out.txt 2>err.txt) &
  game=$!
  sleep $settle_seconds
  window=$(xdotool search --pid $game --name '^Korvane$' | head -n1)
  printf -v "${prefix}_menu" %s "$(cpu_percent $game)"
  # The middle difficulty button: a game at the hard difficulty.
  xdotool mousemove --window "$window" 384 336 mousedown 1 sleep 0.15 mouseup 1
  sleep $settle_seconds
  printf -v "${prefix}_play" %s "$(cpu_percent $game)"
  printf -v "${prefix}_rss" %s "$(rss_kib $game)"
  xdotool windowminimize "$window"
  sleep $settle_seconds
  printf -v "${prefix}_minimised" %s "$(cpu_percent $game)"
  kill $game
  wait $game 2>/dev/null || true
  printf -v "${prefix}_first_frame" %s "$(awk '/^first_frame_ms/ {print $2}' "$run/err.txt")"
  printf -v "${prefix}_longest_step" %s "$(awk '/^gc / && $10 > m {m = $10} END {print m + 0}' "$run/err.txt")"
}

# The reference program, measured while it draws; its resident memory is the
# driver's share that any OpenGL window pays.
"$bench/bench/minimal_glfw_frame" $((measure_seconds + settle_seconds + 2)) &
reference=$!
sleep $settle_seconds
minimal=$(cpu_percent $reference)
minimal_rss=$(rss_kib $reference)
wait $reference || true

if [ -n "$baseline" ]; then measure_game "$baseline" before; fi
measure_game "$build" game

report() { # report LABEL PREFIX
  local p=$2 menu play minimised rss first step
  menu=${p}_menu play=${p}_play minimised=${p}_minimised rss=${p}_rss
  first=${p}_first_frame step=${p}_longest_step
  echo "$1:"
  echo "  CPU idling in the menu       ${!menu} %"
  echo "  CPU in play                  ${!play} %"
  echo "  CPU minimised                ${!minimised} %"
  echo "  ratio menu / minimal         $(echo "scale=2; ${!menu} / $minimal" | bc)"
  echo "  ratio play / minimal         $(echo "scale=2; ${!play} / $minimal" | bc)"
  echo "  resident memory in play      ${!rss} KiB, $((${!rss} - minimal_rss)) KiB above the bare GLFW program"
  echo "  start to first drawn frame   ${!first} ms"
  echo "  longest collector step       ${!step} us"
}

echo "process CPU in % of one core over ${measure_seconds} s"
echo "machine load (1, 5, 15 min) at start: $load_at_start; at end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "bare GLFW program drawing a play-like frame: CPU $minimal %, resident memory $minimal_rss KiB"
if [ -n "$baseline" ]; then report "baseline ($baseline)" before; fi
report "game ($build)" game
