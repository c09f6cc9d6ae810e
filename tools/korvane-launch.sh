#!/bin/bash
# Starts Korvane in the player's own folder, ${XDG_DATA_HOME:-~/.local/share}/korvane.
#
# The game reads its "data" folder and keeps its saved settings and scores
# (".vellumstate") in its working directory. The player's folder holds the
# state file and a "data" link to the game's data, so the saved scores survive
# a rebuild, a reinstall or a deleted build folder.
#
# Usage: korvane [--replay FILE] [PROGRAM DATA_FOLDER]
# --replay FILE plays a recorded game (the player's games are kept in
# replays/ in the player's folder) instead of starting a new session.
# Without arguments it starts the installed game in the layout that
# `cmake --install` and the Debian package make: this script is games/korvane,
# the program lib/games/korvane/korvane and the data share/games/korvane.
# tools/play.sh passes the build's program and data folder.
set -euo pipefail
replay=()
if [ "${1:-}" = --replay ] && [ $# -ge 2 ]; then
  replay=(--replay "$(readlink -f "$2")")  # named from where the command was given
  shift 2
fi
here=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")" && pwd)
program=${1:-$here/../lib/games/korvane/korvane}
data=${2:-$here/../share/games/korvane}

if [ ! -x "$program" ] || [ ! -d "$data" ]; then
  echo "korvane: $program or its data folder $data is missing" >&2
  exit 1
fi
data=$(cd "$data" && pwd)

home="${XDG_DATA_HOME:-$HOME/.local/share}/korvane"
mkdir -p "$home"
if [ -e "$home/data" ] && [ ! -L "$home/data" ]; then
  echo "korvane: $home/data is not a link to the game's data; move it away and run again" >&2
  exit 1
fi
ln -sfn "$data" "$home/data"
cd "$home"
exec "$program" "${replay[@]}"
