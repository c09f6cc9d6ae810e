#!/usr/bin/env bash
# Ten minutes of random play on the korvane program (the soak test of the test
# command, which runs it for 60 seconds), with its memory figures every 10 s.
# Usage: tools/soak.sh [SECONDS [SEED]]   (build/ must be built first)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
test="$root/build/tests/e2e/e2e_soak_test"
if [ ! -x "$test" ]; then
  echo "soak: build the tests first (bash tools/test.sh, or cmake --build build)" >&2
  exit 1
fi
export KORVANE_SOAK_SECONDS=${1:-600}
if [ $# -ge 2 ]; then export KORVANE_SOAK_SEED=$2; fi
export ALSOFT_DRIVERS=null
exec "$test" --gtest_filter='Soak.*'
