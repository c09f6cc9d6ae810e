#!/usr/bin/env bash
# Builds Korvane and starts it. Installs missing Debian packages first; safe to
# run again.
#
# The game reads its "data" folder and keeps its saved settings and scores
# (".vellumstate") in its working directory. It is started in a folder of the
# player's own, ${XDG_DATA_HOME:-~/.local/share}/korvane, whose "data" entry
# links to the freshly built data folder; the saved state therefore survives a
# rebuild and a deleted build folder.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build" >/dev/null
cmake --build "$root/build" -j"$(nproc)"

if [ ! -x "$root/build/korvane" ] || [ ! -d "$root/build/data" ]; then
  echo "play: the build did not produce build/korvane and build/data" >&2
  exit 1
fi

home="${XDG_DATA_HOME:-$HOME/.local/share}/korvane"
mkdir -p "$home"
if [ -e "$home/data" ] && [ ! -L "$home/data" ]; then
  echo "play: $home/data is not a link to the game's data; move it away and run again" >&2
  exit 1
fi
ln -sfn "$root/build/data" "$home/data"
cd "$home"
exec "$root/build/korvane"
