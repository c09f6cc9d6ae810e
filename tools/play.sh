#!/usr/bin/env bash
# Builds Korvane and starts it. Installs missing Debian packages first; safe to
# run again.
#
# The game runs in the player's own folder, ${XDG_DATA_HOME:-~/.local/share}/korvane,
# whose "data" entry links to the freshly built data folder, so the saved state
# survives a rebuild and a deleted build folder (tools/korvane-launch.sh, which
# is also the installed launcher).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build" >/dev/null
cmake --build "$root/build" -j"$(nproc)"

if [ ! -x "$root/build/korvane" ] || [ ! -d "$root/build/data" ]; then
  echo "play: the build did not produce build/korvane and build/data" >&2
  exit 1
fi

exec "$root/tools/korvane-launch.sh" "$root/build/korvane" "$root/build/data"
