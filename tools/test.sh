#!/usr/bin/env bash
# Builds Korvane and runs every test: the normal build (warnings as errors) with
# all tests under a private virtual display, then the unit tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the game's tests in the
# build without music.
# Installs missing Debian packages first; safe to run again.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)

"$root/tools/install-deps.sh"

build_tree() { # build_tree DIR [cmake options...]
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -DKORVANE_WERROR=ON -DKORVANE_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}
build_tree "$root/build"
build_tree "$root/build-asan" -DKORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug

# The Debian package, from the normal build (no rebuild): lintian must find no
# errors and the AppStream description must be valid. The package is then
# unpacked and started by tests/e2e/desktop_package_test.cpp within ctest.
# Called in a condition, where set -e does not hold: each step says so itself.
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

# The silent configuration (KORVANE_MUSIC=OFF: effects only, a plain on/off
# sound switch): the game's unit and window tests in a small tree of their own.
silent_game_tests=(game_drawing_test game_saved_state_test game_play_rules_test game_window_test game_play_test)
build_silent_tree() {
  cmake -S "$root" -B "$root/build-silent" -DKORVANE_WERROR=ON -DKORVANE_TESTS=ON -DKORVANE_MUSIC=OFF >/dev/null
  cmake --build "$root/build-silent" -j"$jobs" --target korvane_data "${silent_game_tests[@]}"
}
run_silent_tests() {
  local test failed=0
  for test in "${silent_game_tests[@]}"; do
    "$root/build-silent/tests/game/$test" --gtest_brief=1 || failed=1
  done
  return $failed
}
build_silent_tree

# The browser build (tools/web.sh) played in headless Chromium by
# tests/web/play_test.js, with puppeteer-core as pinned by its lock file.
# Screenshots go to build-web/test-output. Called in a condition, where set -e
# does not hold: each step says so itself.
check_browser() {
  "$root/tools/web.sh" --build-only || return 1
  (cd "$root/tests/web" && npm ci --no-audit --no-fund --loglevel=error) || return 1
  node "$root/tests/web/play_test.js" "$root/build-web/site" "$root/build-web/test-output"
}

# Window and end-to-end tests get a display of their own, so they neither need a
# desktop nor disturb one; sound goes to OpenAL Soft's silent null output.
source "$root/tools/xvfb.sh"
start_private_xvfb
export ALSOFT_DRIVERS=null

status=0
check_package || status=1
ctest --test-dir "$root/build" --output-on-failure -j"$jobs" || status=1
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build-asan" -L unit --output-on-failure -j"$jobs" || status=1
run_silent_tests || status=1
check_browser || status=1
exit $status
