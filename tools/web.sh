#!/usr/bin/env bash
# Builds Korvane for the browser into build-web/site and serves it on
# http://127.0.0.1:8000/ (the page is index.html).
#   bash tools/web.sh               build, then serve until interrupted
#   bash tools/web.sh --build-only  build only
# Installs missing Debian packages first (emscripten among them); safe to run
# again. The asset generator and the icon cutter are built natively
# (build-web/native) to write the data and the icons, which the Emscripten
# build (build-web/wasm) packs and copies beside the program.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$root/build-web"
port=8000

build_only=0
case "${1:-}" in
  --build-only) build_only=1 ;;
  "") ;;
  *) echo "usage: tools/web.sh [--build-only]" >&2; exit 2 ;;
esac

"$root/tools/install-deps.sh" --web

# emcc runs on Node.js; a Node.js that is not Debian's own does not look in
# Debian's module folder, where emcc's JavaScript parser is.
export NODE_PATH="${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs"
jobs=$(nproc)

cmake -S "$root" -B "$out/native" -DKORVANE_TESTS=OFF -DKORVANE_SERVER=OFF >/dev/null
cmake --build "$out/native" --target korvane_data korvane_icons -j"$jobs"

emcmake cmake -S "$root" -B "$out/wasm" -DCMAKE_BUILD_TYPE=Release \
  -DKORVANE_WERROR=ON -DKORVANE_WEB_DATA="$out/native/data" -DKORVANE_WEB_ICONS="$out/native/icons" \
  -DKORVANE_WEB_SITE="$out/site" >/dev/null
cmake --build "$out/wasm" -j"$jobs"

echo "web: page in $out/site"
if [ "$build_only" -eq 1 ]; then
  exit 0
fi
echo "web: serving on http://127.0.0.1:$port/ (Ctrl-C stops)"
cd "$out/site"
exec python3 -m http.server "$port" --bind 127.0.0.1
