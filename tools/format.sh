#!/usr/bin/env bash
# Lays out every C and C++ source of the tree with clang-format-14 and the
# committed .clang-format.
#   bash tools/format.sh           rewrites the files it would change
#   bash tools/format.sh --check   changes nothing; lists those files and fails
#                                  when there is one (the test command's checks)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
formatter=clang-format-14

check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: tools/format.sh [--check]" >&2; exit 2 ;;
esac
if ! command -v "$formatter" >/dev/null; then
  echo "format: $formatter is missing (tools/install-deps.sh installs it)" >&2
  exit 1
fi

cd "$root"
mapfile -d '' sources < <(git ls-files -z '*.h' '*.cpp' '*.c')
if [ "$check" -eq 0 ]; then
  "$formatter" -i --style=file "${sources[@]}"
  exit 0
fi
unformatted=0
for source in "${sources[@]}"; do
  if ! "$formatter" --dry-run --Werror --style=file "$source" 2>/dev/null; then
    echo "format: $source is not laid out as .clang-format says (bash tools/format.sh)"
    unformatted=$((unformatted + 1))
  fi
done
[ "$unformatted" -eq 0 ]
