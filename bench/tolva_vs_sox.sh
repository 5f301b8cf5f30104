#!/usr/bin/env bash
# How close `tolva process` comes to copying the file (not run in CI): makes a 60 s stereo 48 kHz
# 32-bit float pink noise file with sox, then times `tolva process --quiet` at the default block,
# --block 16 and --block 1, and sox copying the same file; best of five wall-clock runs each,
# printed as seconds and times faster than real time, with the load average (the figures are only
# comparable on an idle machine).
#   bench/tolva_vs_sox.sh [BUILD_DIR]      (default build/release; build it first with scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
tolva="$build/tools/tolva/tolva"
[ -x "$tolva" ] || { echo "build first: scripts/build.sh release" >&2; exit 1; }
command -v sox >/dev/null || { echo "sox is missing: scripts/deps.sh installs it" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
input="$work/pink60.wav"
seconds=60
sox -n -r 48000 -c 2 -b 32 -e floating-point "$input" synth "$seconds" pinknoise vol 0.5

# best_of RUNS CMD...: the shortest wall-clock time of RUNS runs, in seconds.
best_of() {
  local runs=$1 best="" t start end
  shift
  for _ in $(seq "$runs"); do
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  echo "$best"
}

report() {
  awk -v name="$1" -v t="$2" -v s="$seconds" 'BEGIN { printf "%-28s %7.3f s  %7.1fx real time\n", name, t, s / t }' 
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
report "tolva process (block 512)" "$(best_of 5 "$tolva" process "$input" "$work/out.wav" --quiet)"
report "tolva process --block 16" "$(best_of 5 "$tolva" process "$input" "$work/out.wav" --quiet --block 16)"
report "tolva process --block 1" "$(best_of 5 "$tolva" process "$input" "$work/out.wav" --quiet --block 1)"
report "sox (copy)" "$(best_of 5 sox "$input" "$work/copy.wav")"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
