#!/usr/bin/env bash
# LV2 benchmark (not run in CI): our block host (lv2host, 512-frame blocks) runs the same 60 s stereo
# 48 kHz file through Tolva and the multiband compressors of lsp-plugins-lv2, calf-plugins and
# zam-plugins at comparable settings (thresholds -3 dB, ratio 4, attack 20 ms, release 40 ms,
# crossovers near 190 / 901 / 4260 Hz, IIR crossovers of 4th order where there is a choice, no
# spectrum analysers; zam has three bands), and prints each one's speed as times
# faster than real time (best of three runs, plug-in runs only) and its ratio to Tolva's.
#   bench/lv2_bench.sh [BUILD_DIR]      (default build/release; build it first with scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
host="$build/tools/lv2host/lv2host"
tolva="$build/tools/tolva/tolva"
[ -x "$host" ] && [ -x "$tolva" ] || { echo "build first: scripts/build.sh release" >&2; exit 1; }
export LV2_PATH="$(cd "$build/lv2" && pwd):/usr/lib/lv2:/usr/local/lib/lv2"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
input="$work/mix.wav"
"$tolva" demo-mix --quiet --seconds 60 "$input"

thr=0.70795  # -3 dB as a linear level, for the plug-ins that take one
lsp=(http://lsp-plug.in/plugins/lv2/mb_compressor_stereo --set mode=0
     --set ife_l=0 --set ofe_l=0 --set ife_r=0 --set ofe_r=0 --set cbe_2=1 --set sf_2=190 --set cbe_4=1 --set sf_4=901 --set cbe_6=1 --set sf_6=4260)
for b in 0 2 4 6; do lsp+=(--set al_$b=$thr --set cr_$b=4 --set at_$b=20 --set rt_$b=40 --set ce_$b=1); done
calf=(http://calf.sourceforge.net/plugins/MultibandCompressor
      --set bypass=0 --set mode=0 --set freq0=190 --set freq1=901 --set freq2=4260)
for b in 0 1 2 3; do calf+=(--set bypass$b=0 --set threshold$b=$thr --set ratio$b=4 --set attack$b=20 --set release$b=40); done
zam=(urn:zamaudio:ZaMultiCompX2 --set xover1=190 --set xover2=4260)
for b in 1 2 3; do zam+=(--set toggle$b=1 --set thr$b=-3 --set rat$b=4 --set att$b=20 --set rel$b=40); done
tolvaArgs=(https://pel.audio/plugins/tolva)

# Best speed of three runs: the number before "x real time" in lv2host's report.
speed() {
  local best=0 s
  for _ in 1 2 3; do
    s=$("$host" --block 512 "$@" "$input" "$work/out.wav" | sed -n 's/.*(\([0-9.]*\)x real time).*/\1/p')
    best=$(awk -v a="$best" -v b="$s" 'BEGIN { print (b > a) ? b : a }')
  done
  echo "$best"
}

echo "60 s stereo 48 kHz demo mix, 512-frame blocks, best of 3"
t=$(speed "${tolvaArgs[@]}")
printf "%-56s %10s %14s\n" "plug-in" "x realtime" "Tolva / other"
printf "%-56s %10.1f %14s\n" "Tolva Multiband Compressor" "$t" "1.00"
for name in lsp calf zam; do
  declare -n args=$name
  s=$(speed "${args[@]}")
  printf "%-56s %10.1f %14.2f\n" "${args[0]}" "$s" "$(awk -v a="$t" -v b="$s" 'BEGIN { print a / b }')"
done
