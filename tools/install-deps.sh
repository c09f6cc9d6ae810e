#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Korvane need.
# Only missing packages are installed, so running it again does nothing.
# Works as root or through sudo; never asks a question (CI has no standard input).
#
# Usage: tools/install-deps.sh [--game|--package|--web]
#   --game     building and running the game only (tools/play.sh)
#   --package  the game and its Debian package (dpkg-shlibdeps)
#   --web      the game and its browser build (tools/web.sh)
#   (none)     everything: the above, the tests, benchmarks, fuzzing and the
#              package checks (tools/test.sh)
set -euo pipefail

game_packages=(
  build-essential cmake pkg-config
  libglfw3-dev libgl-dev libopenal-dev libstb-dev
  fonts-dejavu-core           # the asset generator renders glyphs from its outlines
  libcurl4-openssl-dev        # the game's posts to a world score server
)
package_packages=(dpkg-dev)
web_packages=(emscripten nodejs python3)
test_packages=(
  libgtest-dev libbenchmark-dev
  libvorbis-dev
  clang-14 libfuzzer-14-dev   # fuzz targets: compiler and libFuzzer of one version
  clang-format-14             # tools/format.sh, the layout check
  bc                          # bench/whole_process.sh's arithmetic
  xvfb xauth xdotool openbox imagemagick
  x11-utils
  libx11-dev
  lintian appstream
  chromium
  # korvane-server and its tests: HTTP, PostgreSQL, JSON, SHA-256; load
  # figures in bench/
  libcpp-httplib-dev libpqxx-dev nlohmann-json3-dev libssl-dev postgresql-15
  wrk curl                    # load figures; the servers started by scripts answer curl
)

packages=("${game_packages[@]}")
case "${1:-}" in
  --game) ;;
  --package) packages+=("${package_packages[@]}") ;;
  --web) packages+=("${web_packages[@]}") ;;
  "")
    packages+=("${package_packages[@]}" "${web_packages[@]}" "${test_packages[@]}")
    # npm drives the browser tests; a Node.js from elsewhere brings its own,
    # which Debian's npm package would fight with.
    command -v npm >/dev/null 2>&1 || packages+=(npm)
    ;;
  *) echo "usage: tools/install-deps.sh [--game|--package|--web]" >&2; exit 2 ;;
esac

missing=()
for pkg in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  # With no terminal to ask for a password on, sudo must not wait for one.
  if [ -t 0 ]; then as_root=(sudo); else as_root=(sudo -n); fi
else
  echo "install-deps: missing packages (${missing[*]}) and neither root nor sudo is available" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
