#!/usr/bin/env bash
# Builds Korvane in every configuration it supports and runs each one's tests:
#   checks  no build: every file path a comment or document names exists, and
#           clang-format-14 would change no C or C++ source (.clang-format)
#   main    the normal build (warnings as errors): its Debian package checked,
#           then every test, windows and end-to-end included, on a private
#           virtual display; the score server's tests each start a throwaway
#           PostgreSQL cluster of their own
#   asan    unit and audio tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   stress  unit tests with the collector completing a cycle at every step
#   fuzz    one clang tree with the fuzz targets and the benchmarks: every
#           benchmark builds, every fuzz target runs briefly over its corpus
#   silent  the game built without music (KORVANE_MUSIC=OFF): its unit and
#           window tests
#   browser the game built with Emscripten, played in headless Chromium, its
#           title menu compared with the desktop build's; then the page as an
#           installable web app (offline play, what the browser lacks), and
#           served by a real score server, posting and showing world ranks
# Each part is a function below; the parts run in parallel, at most
# KORVANE_TEST_PARTS at a time (default: the number of cores), each writing its
# log to build-logs/PART.log. The summary at the end gives each part's result
# and time; the exit status is non-zero when any part failed.
#
# Usage: tools/test.sh [PART...]   (all parts when none is named)
# Installs missing Debian packages first; safe to run again.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
logs="$root/build-logs"
fuzz_seconds=${KORVANE_FUZZ_SECONDS:-20}  # per fuzz target

"$root/tools/install-deps.sh" || exit 1
source "$root/tools/xvfb.sh"

# Sound goes to OpenAL Soft's silent null output in every part.
export ALSOFT_DRIVERS=null
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi

# build_tree DIR [--target T...] -- [cmake options...]: configures and builds
# one tree. Two parts that share a tree take turns (a lock per tree), so a part
# may build a tree another part also uses.
build_tree() {
  local dir=$1; shift
  local targets=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do targets+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  (
    flock 9
    cmake -S "$root" -B "$dir" -DKORVANE_WERROR=ON "$@" >/dev/null &&
      cmake --build "$dir" -j"$jobs" "${targets[@]}"
  ) 9>"$logs/$(basename "$dir").lock"
}

# --- the parts ----------------------------------------------------------------

# Cheap checks of the sources themselves, before anything is built.
part_checks() {
  local status=0
  python3 "$root/tools/check-paths.py" "$root" || status=1
  "$root/tools/format.sh" --check || status=1
  return $status
}

# The Debian package, from the normal build (no rebuild): lintian must find no
# errors and the AppStream description must be valid. The package is then
# unpacked and started by tests/e2e/desktop_package_test.cpp within ctest.
check_package() {
  rm -f "$root"/build/korvane_*.deb
  cmake --build "$root/build" --target package >/dev/null || return 1
  local deb failed=0
  deb=$(ls "$root"/build/korvane_*.deb) || return 1
  echo "package: $deb"
  lintian --fail-on error "$deb" || failed=1
  appstreamcli validate --no-net "$root"/build/package-files/*.metainfo.xml || failed=1
  return $failed
}

part_main() {
  build_tree "$root/build" -- -DKORVANE_TESTS=ON || return 1
  local status=0
  check_package || status=1
  start_private_xvfb || return 1
  ctest --test-dir "$root/build" --output-on-failure -j"$jobs" || status=1
  return $status
}

part_asan() {
  build_tree "$root/build-asan" --target unit_tests audio_tests -- \
    -DKORVANE_TESTS=ON -DKORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug || return 1
  ctest --test-dir "$root/build-asan" -L 'unit|audio' --output-on-failure -j"$jobs"
}

part_stress() {
  build_tree "$root/build-stress" --target unit_tests -- -DKORVANE_TESTS=ON -DKORVANE_GC_STRESS=ON || return 1
  ctest --test-dir "$root/build-stress" -L unit --output-on-failure -j"$jobs"
}

# Every fuzz target runs over its corpus (tests/fuzz/corpus/TARGET, or the
# name without "_fuzz"); a target without a corpus fails the part. Paths are
# absolute: state_load_fuzz works in a scratch folder of its own.
part_fuzz() {
  CC=clang-14 CXX=clang++-14 build_tree "$root/build-fuzz" --target fuzz_targets benchmarks -- \
    -DKORVANE_TESTS=OFF -DKORVANE_FUZZ=ON -DKORVANE_BENCH=ON || return 1
  local program target corpus scratch status=0
  for program in "$root"/build-fuzz/tests/fuzz/*_fuzz; do
    target=$(basename "$program")
    corpus="$root/tests/fuzz/corpus/$target"
    [ -d "$corpus" ] || corpus="$root/tests/fuzz/corpus/${target%_fuzz}"
    if [ ! -d "$corpus" ]; then
      echo "== $target: no corpus under tests/fuzz/corpus/"
      status=1
      continue
    fi
    echo "== $target: $fuzz_seconds s over ${corpus#"$root"/}"
    # New inputs go to a scratch folder, never into the seeds; a crashing
    # input is kept beside the logs.
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/korvane-fuzz-$target-XXXXXX")
    "$program" -max_total_time="$fuzz_seconds" -print_final_stats=1 -artifact_prefix="$logs/$target-" \
      "$scratch" "$corpus" || status=1
    rm -rf -- "$scratch"
  done
  return $status
}

# The silent configuration (KORVANE_MUSIC=OFF: effects only, a plain on/off
# sound switch): the game's unit and window tests in a small tree of their own.
# They run through ctest, one process per case as in the main part: the game
# harness is one window per process, so a case that needs a fresh start (the
# loading screen) must not follow others in the same process.
part_silent() {
  build_tree "$root/build-silent" --target korvane_data game_tests -- \
    -DKORVANE_TESTS=ON -DKORVANE_MUSIC=OFF || return 1
  start_private_xvfb || return 1
  ctest --test-dir "$root/build-silent/tests/game" --output-on-failure -j"$jobs"
}

# The golden replays (tests/replays) re-run by the WebAssembly runner under
# Node.js must print the very lines the desktop runner prints.
check_wasm_replays() {
  local data=$1 golden status=0
  for golden in "$root"/tests/replays/*.kvrp; do
    if ! node "$root/build-web/wasm/korvane-replay.js" --data "$data" "$golden" | cmp -s - "${golden%.kvrp}.json"; then
      echo "wasm replay: $golden does not re-run to $(cat "${golden%.kvrp}.json")"
      status=1
    fi
  done
  return $status
}

# The browser build (tools/web.sh) played in headless Chromium by
# tests/web/play_test.js, with puppeteer-core as pinned by its lock file; the
# desktop korvane from the same sources (build-web/native, beside the asset
# generator) on a private display, for the same still frame and its figures,
# measured through tests/web/gl_meter.c. Then tests/web/webapp_test.js: the
# page installed, played offline, updated, and in browsers that lack WebGL,
# Web Audio or room to store. Last tests/web/world_tables_test.js: the page
# served by a real korvane-server (the main tree's, on a throwaway database),
# posting its games and showing the world tables. Screenshots go to
# build-web/test-output.
part_browser() {
  local native="$root/build-web/native"
  "$root/tools/web.sh" --build-only || return 1
  build_tree "$root/build" --target korvane-server korvane-replay korvane_data -- -DKORVANE_TESTS=ON || return 1
  check_wasm_replays "$native/data" || return 1
  cmake --build "$native" --target korvane korvane-replay -j"$jobs" || return 1
  cc -shared -fPIC -O2 -Wall -Wextra -Werror -o "$native/gl_meter.so" "$root/tests/web/gl_meter.c" -ldl || return 1
  (cd "$root/tests/web" && npm ci --no-audit --no-fund --loglevel=error) || return 1
  start_private_xvfb || return 1
  local status=0
  node "$root/tests/web/play_test.js" "$root/build-web/site" "$root/build-web/test-output" "$native" || status=1
  node "$root/tests/web/webapp_test.js" "$root/build-web/site" "$root/build-web/test-output" || status=1
  "$root/tests/web/with_score_server.sh" "$root/build" "$root/build-web/site" \
    node "$root/tests/web/world_tables_test.js" "$root/build-web/test-output" || status=1
  return $status
}

all_parts=(checks main asan stress fuzz silent browser)

# --- running them ---------------------------------------------------------------

parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=("${all_parts[@]}")
for part in "${parts[@]}"; do
  if ! declare -F "part_$part" >/dev/null; then
    echo "test.sh: no part '$part' (parts: ${all_parts[*]})" >&2
    exit 2
  fi
done
max_running=${KORVANE_TEST_PARTS:-$jobs}
mkdir -p "$logs"

declare -A pid_of started_at
run_part() { # in a subshell of its own: its display and traps stay its own
  local part=$1
  ( set -o pipefail; "part_$part" ) >"$logs/$part.log" 2>&1
  echo $? >"$logs/$part.status"
}

start=$(date +%s)
for part in "${parts[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$max_running" ]; do wait -n; done
  rm -f "$logs/$part.status"
  started_at[$part]=$(date +%s)
  echo "test.sh: $part started (log: build-logs/$part.log)"
  run_part "$part" &
  pid_of[$part]=$!
done
wait

failed=0
echo
echo "test.sh: results ($(($(date +%s) - start)) s in all)"
for part in "${parts[@]}"; do
  status=$(cat "$logs/$part.status" 2>/dev/null || echo 1)
  took=$(($(stat -c %Y "$logs/$part.log") - started_at[$part]))
  if [ "$status" = 0 ]; then
    printf '  %-10s passed  %5d s\n' "$part" "$took"
  else
    printf '  %-10s FAILED  %5d s   (build-logs/%s.log)\n' "$part" "$took" "$part"
    failed=1
  fi
done
for part in "${parts[@]}"; do
  if [ "$(cat "$logs/$part.status" 2>/dev/null || echo 1)" != 0 ]; then
    echo
    echo "--- last lines of build-logs/$part.log"
    tail -n 40 "$logs/$part.log"
  fi
done
exit $failed
