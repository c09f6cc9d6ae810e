#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Korvane need.
# Only missing packages are installed, so running it again does nothing.
# Works as root or through sudo; never asks a question (CI has no standard input).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libglfw3-dev libgl-dev libopenal-dev libstb-dev
  libgtest-dev libbenchmark-dev
  libvorbis-dev
  clang-14 libfuzzer-14-dev   # fuzz targets: compiler and libFuzzer of one version
  bc                          # bench/whole_process.sh's arithmetic
  xvfb xauth xdotool openbox imagemagick
  x11-utils
  libx11-dev
  fonts-dejavu-core
  dpkg-dev lintian appstream
  emscripten chromium nodejs
  # korvane-server and its tests: HTTP, PostgreSQL, JSON, SHA-256; the
  # desktop's score posts; load figures in bench/
  libcpp-httplib-dev libpqxx-dev nlohmann-json3-dev libssl-dev postgresql-15
  libcurl4-openssl-dev wrk
)
# npm drives the browser tests; a Node.js from elsewhere brings its own, which
# Debian's npm package would fight with.
command -v npm >/dev/null 2>&1 || packages+=(npm)

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
