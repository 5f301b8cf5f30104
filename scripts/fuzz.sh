#!/usr/bin/env bash
# Runs every built fuzz target (build/fuzz, made by scripts/build.sh fuzz) for SECONDS seconds each,
# one target per processor at a time, starting from the committed seeds in fuzz/corpus/<name>. New
# inputs go to a scratch corpus under build/fuzz/corpus so the committed one stays small. Fails when
# any target finds a problem.
#   scripts/fuzz.sh [SECONDS]     (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
bin_dir=build/fuzz/fuzz
[ -d "$bin_dir" ] || { echo "no fuzz build: run scripts/build.sh fuzz" >&2; exit 1; }
jobs=$(nproc 2>/dev/null || echo 2)

# Runs one target; its libFuzzer output goes to build/fuzz/logs/<name>.log, its findings to
# build/fuzz/artifacts/<name>/.
run_target() {
  local target=$1 name=${1##*/fuzz_}
  local work="build/fuzz/corpus/$name" artifacts="build/fuzz/artifacts/$name/"
  mkdir -p "$work" "$artifacts"
  local seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  "$target" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "$work" "${seeds[@]}" >"build/fuzz/logs/$name.log" 2>&1
}

mkdir -p build/fuzz/logs
targets=()
for target in "$bin_dir"/fuzz_*; do [ -x "$target" ] && targets+=("$target"); done
declare -A pids=()
found=0
# Waits for the target named $1 and prints its summary lines.
collect() {
  local name=$1
  local status=0
  wait "${pids[$name]}" || status=$?
  unset "pids[$name]"
  echo "== fuzz_$name for ${seconds}s"
  grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==|SUMMARY|artifact_prefix|Test unit written)" \
    "build/fuzz/logs/$name.log" || true
  if [ "$status" -ne 0 ]; then
    echo "fuzz_$name found a problem; see build/fuzz/artifacts/$name/ and build/fuzz/logs/$name.log" >&2
    found=1
  fi
}
order=()
for target in "${targets[@]}"; do
  name=${target##*/fuzz_}
  if [ ${#order[@]} -ge "$jobs" ]; then
    collect "${order[0]}"
    order=("${order[@]:1}")
  fi
  run_target "$target" &
  pids[$name]=$!
  order+=("$name")
done
for name in "${order[@]}"; do collect "$name"; done
exit $found
