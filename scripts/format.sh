#!/usr/bin/env bash
# Applies .clang-format to every C++ source of the tree (files known to git).
#   scripts/format.sh           formats the files in place
#   scripts/format.sh --check   changes nothing; lists the files that differ and fails if any does
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.h' '*.cpp')
if [ "${1:-}" = "--check" ]; then
  bad=()
  for f in "${files[@]}"; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
  done
  if [ ${#bad[@]} -gt 0 ]; then
    printf 'not formatted (run scripts/format.sh):\n' >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
  fi
  echo "formatting: ${#files[@]} files clean"
else
  clang-format -i "${files[@]}"
fi
