#!/usr/bin/env bash
# Builds Korvane and starts it. Installs missing Debian packages first; safe to
# run again.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build" >/dev/null
cmake --build "$root/build" -j"$(nproc)"

if [ ! -x "$root/build/korvane" ]; then
  echo "play: the game itself is not built yet (no build/korvane); the runtime layers are" >&2
  exit 1
fi
exec "$root/build/korvane"
