#!/usr/bin/env bash
# Builds Korvane and starts it. Installs the missing Debian packages the game
# needs first (tools/install-deps.sh --game: no test, browser or packaging
# tools) and builds only the game and its data, never the tests; safe to run
# again.
#
# The game runs in the player's own folder, ${XDG_DATA_HOME:-~/.local/share}/korvane,
# whose "data" entry links to the freshly built data folder, so the saved state
# survives a rebuild and a deleted build folder (tools/korvane-launch.sh, which
# is also the installed launcher).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/tools/install-deps.sh" --game
# A new build folder is configured without the tests (they need GoogleTest)
# and without the score server (its own packages); one the test command
# already configured keeps its settings.
configure=()
[ -f "$root/build/CMakeCache.txt" ] || configure=(-DKORVANE_TESTS=OFF -DKORVANE_SERVER=OFF)
cmake -S "$root" -B "$root/build" "${configure[@]}" >/dev/null
# korvane_icons writes the window's icon into the data folder after the data.
cmake --build "$root/build" -j"$(nproc)" --target korvane korvane_icons

if [ ! -x "$root/build/korvane" ] || [ ! -d "$root/build/data" ]; then
  echo "play: the build did not produce build/korvane and build/data" >&2
  exit 1
fi

exec "$root/tools/korvane-launch.sh" "$root/build/korvane" "$root/build/data"
