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
# One run over every source; each change it would make is reported as an
# error naming its file.
if report=$("$formatter" --dry-run --Werror --style=file "${sources[@]}" 2>&1); then
  exit 0
fi
files=$(grep -o '^[^:]*:[0-9]*:[0-9]*: error' <<<"$report" | cut -d: -f1 | sort -u)
if [ -z "$files" ]; then
  echo "$report" >&2  # the formatter itself failed
  exit 1
fi
sed 's/$/ is not laid out as .clang-format says (bash tools\/format.sh)/; s/^/format: /' <<<"$files"
exit 1
