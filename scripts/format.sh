#!/usr/bin/env bash
# Applies .clang-format to every C++ source of the tree (files known to git).
#   scripts/format.sh           formats the files in place
#   scripts/format.sh --check   changes nothing; lists the files that differ and fails if any does
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.h' '*.cpp')
if [ "${1:-}" = "--check" ]; then
  # Many files per clang-format run and one run per core: a run per file costs more than the check.
  status=0
  report=$(printf '%s\0' "${files[@]}" |
    xargs -0 -n 40 -P "$(nproc 2>/dev/null || echo 2)" clang-format --dry-run --Werror 2>&1 >/dev/null) ||
    status=$?
  if [ "$status" -ne 0 ]; then
    mapfile -t bad < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: .*/\1/p' <<<"$report" | sort -u)
    # A failure that names no file (clang-format missing, a bad configuration): show it as it is.
    [ ${#bad[@]} -gt 0 ] || { echo "$report" >&2; exit 1; }
    printf 'not formatted (run scripts/format.sh):\n' >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
  fi
  echo "formatting: ${#files[@]} files clean"
else
  clang-format -i "${files[@]}"
fi
