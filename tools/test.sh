#!/usr/bin/env bash
# Builds Korvane and runs every test: the normal build (warnings as errors) with
# all tests under a private virtual display, then the unit tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
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

# Window and end-to-end tests get a display of their own, so they neither need a
# desktop nor disturb one; sound goes to OpenAL Soft's silent null output.
source "$root/tools/xvfb.sh"
start_private_xvfb
export ALSOFT_DRIVERS=null

status=0
ctest --test-dir "$root/build" --output-on-failure -j"$jobs" || status=1
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build-asan" -L unit --output-on-failure -j"$jobs" || status=1
exit $status
