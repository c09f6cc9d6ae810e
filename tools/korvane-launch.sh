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
#
# Folder names may hold any character, a leading "-" or a line end included:
# every name is quoted and passed after "--". XDG_DATA_HOME counts only when it
# is an absolute path (a relative one would depend on where the launcher was
# started); without HOME the home folder comes from the password database.
#
# When the player's folder or its data link cannot be made (a read-only home,
# no home at all), the game still starts, with saving refused, in a private
# temporary folder that holds only the data link and a folder named
# ".vellumstate". A state file that is a folder is never written (the save
# fails, and the game tells the player so), even for root, who could write
# into a read-only folder; the temporary folder is made read-only as well, so
# nothing else lands in it. It is removed when the game ends: the launcher
# execs the game, which inherits the write end of a pipe whose reader removes
# the folder once the game's copy closes at exit.
set -euo pipefail

# say TEXT: one line on standard error, line ends in names shown as "?".
say() {
  local text=$1
  printf 'korvane: %s\n' "${text//$'\n'/?}" >&2
}

# absolute FOLDER: FOLDER as an absolute path with links resolved, in
# `resolved`; keeps names that end in a line end (command substitution would
# drop it).
absolute() {
  resolved=$(CDPATH='' cd -- "$1" && pwd -P && echo .)
  resolved=${resolved%$'\n.'}
}

# The player's home folder: HOME, or the password database's entry when HOME
# is unset; empty when neither gives one.
home_folder() {
  if [ -n "${HOME:-}" ]; then
    printf '%s' "$HOME"
  else
    getent passwd "$(id -u)" | cut -d: -f6 | tr -d '\n' || true
  fi
}

# The folder for the player's data, in `player`; empty when there is no home.
player_folder() {
  local base=${XDG_DATA_HOME:-}
  if [[ "$base" != /* ]]; then  # unset, empty or relative: the default
    local home
    home=$(home_folder)
    if [ -z "$home" ]; then
      player=''
      return
    fi
    base=$home/.local/share
  fi
  player=$base/korvane
}

# Makes `player` with its data link; false when either cannot be made. A link
# that already points at the data is left alone, so a read-only folder made
# earlier still serves (the game reports its failed saves itself).
prepare_player_folder() {
  [ -n "$player" ] || return 1
  mkdir -p -- "$player" 2>/dev/null || return 1
  if [ -L "$player/data" ] && [ "$(readlink -- "$player/data" && echo .)" = "$data"$'\n.' ]; then
    return 0
  fi
  ln -sfn -- "$data" "$player/data" 2>/dev/null
}

# Starts the game in a private temporary folder where saving fails (see the
# top of this file); never returns.
play_without_saving() {
  local folder
  folder=$(mktemp -d -- "${TMPDIR:-/tmp}/korvane.XXXXXXXX") || {
    say "cannot make a temporary folder to play in either; not starting"
    exit 1
  }
  ln -s -- "$data" "$folder/data"
  mkdir -- "$folder/.vellumstate"
  chmod a-w -- "$folder"
  # The reader ignores the signals that end the game with its terminal, so
  # that it outlives the game and removes the folder. The descriptor is only
  # held, by the game, never written.
  # shellcheck disable=SC2034
  exec {game_alive}> >(
    trap '' HUP INT TERM
    cat >/dev/null
    chmod u+w -- "$folder" && rm -rf -- "$folder"
  )
  cd -- "$folder"
  exec "$program" "${replay[@]}"
}

# `korvane --replay FILE` watches a replay; the file is named from where the
# command was given.
replay=()
if [ "${1:-}" = --replay ] && [ $# -ge 2 ]; then
  replay=(--replay "$(readlink -f -- "$2")")
  shift 2
fi

script=$(readlink -f -- "${BASH_SOURCE[0]}" && echo .)
script=${script%$'\n.'}
absolute "${script%/*}/"
here=$resolved
program=${1:-$here/../lib/games/korvane/korvane}
data=${2:-$here/../share/games/korvane}

if [ ! -x "$program" ] || [ ! -d "$data" ]; then
  say "$program or its data folder $data is missing"
  exit 1
fi
case "$program" in /*) ;; *) program=$PWD/$program ;; esac
absolute "$data"
data=$resolved

player_folder
if [ -n "$player" ] && [ -e "$player/data" ] && [ ! -L "$player/data" ]; then
  say "$player/data is not a link to the game's data; move it away and run again"
  exit 1
fi
if ! prepare_player_folder; then
  if [ -n "$player" ]; then
    say "cannot make $player or its data link; scores will not be saved"
  else
    say "no home folder to keep the scores in; scores will not be saved"
  fi
  play_without_saving
fi
cd -- "$player"
exec "$program" "${replay[@]}"
