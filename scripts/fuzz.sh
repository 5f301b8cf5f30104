#!/usr/bin/env bash
# Runs every built fuzz target (build/fuzz, made by scripts/build.sh fuzz) for SECONDS seconds each,
# starting from the committed seeds in fuzz/corpus/<name>. New inputs go to a scratch corpus under
# build/fuzz/corpus so the committed one stays small. Fails on the first finding.
#   scripts/fuzz.sh [SECONDS]     (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
bin_dir=build/fuzz/fuzz
[ -d "$bin_dir" ] || { echo "no fuzz build: run scripts/build.sh fuzz" >&2; exit 1; }

found=0
for target in "$bin_dir"/fuzz_*; do
  [ -x "$target" ] || continue
  name=${target##*/fuzz_}
  work="build/fuzz/corpus/$name"
  artifacts="build/fuzz/artifacts/$name/"
  mkdir -p "$work" "$artifacts"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  echo "== fuzz_$name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "$work" "${seeds[@]}" 2>&1 |
    grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==|SUMMARY|artifact_prefix|Test unit written)" || true
  if [ "${PIPESTATUS[0]}" -ne 0 ]; then
    echo "fuzz_$name found a problem; see $artifacts" >&2
    found=1
  fi
done
exit $found
