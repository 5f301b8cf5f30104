#!/usr/bin/env bash
# Main job: installs what is missing, builds the release tree, describes the plug-in, synthesises a
# demo mix and renders it with the plug-in's defaults and with every factory preset into out/,
# with a table of the results in out/results.md; draws the editor at the defaults, for every
# factory preset and with live levels from the demo mix (out/editor-*.png).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
scripts/build.sh release

tolva=build/release/tools/tolva/tolva
out=out
mkdir -p "$out"

echo "== tolva info"
"$tolva" info | tee "$out/info.txt"

echo "== demo mix"
"$tolva" demo-mix --quiet "$out/demo-mix.wav"

echo "== factory preset files"
"$tolva" presets "$out/presets"

# Preset names, one per line, from the "presets:" section of `tolva info`.
mapfile -t presets < <(sed -n '/^presets:/,/^$/p' "$out/info.txt" | sed -n 's/^  [0-9]* *"\(.*\)"$/\1/p')

slug() { echo "$1" | tr 'A-Z' 'a-z' | tr -c 'a-z0-9\n' '-' | sed 's/--*/-/g; s/^-//; s/-$//'; }

results="$out/results.md"
{
  echo "# Tolva demo renders"
  echo
  echo "Input: \`demo-mix.wav\` (synthesised drums, bass and hats, 48 kHz stereo)."
  echo
  echo "| preset | output file | peak in dBFS | peak out dBFS | RMS in dBFS | RMS out dBFS | speed |"
  echo "|---|---|---|---|---|---|---|"
} >"$results"

render() {  # render LABEL FILE [tolva options...]
  local label=$1 file=$2
  shift 2
  local line
  line=$("$tolva" process "$@" "$out/demo-mix.wav" "$out/$file" 2>&1 >/dev/null | tail -n 1)
  echo "$label: $line"
  local peak_in peak_out rms_in rms_out speed
  peak_in=$(sed -n 's/.*peak in \([^ ]*\) dBFS.*/\1/p' <<<"$line")
  peak_out=$(sed -n 's/.*peak out \([^ ]*\) dBFS.*/\1/p' <<<"$line")
  rms_in=$(sed -n 's/.*rms in \([^ ]*\) dBFS.*/\1/p' <<<"$line")
  rms_out=$(sed -n 's/.*rms out \([^ ]*\) dBFS.*/\1/p' <<<"$line")
  speed=$(sed -n 's/.*(\([^ ]*\) real time).*/\1/p' <<<"$line")
  echo "| $label | \`$file\` | $peak_in | $peak_out | $rms_in | $rms_out | $speed |" >>"$results"
}

echo "== renders"
render "(plug-in defaults)" "demo-defaults.wav"
for p in "${presets[@]}"; do
  render "$p" "demo-$(slug "$p").wav" --preset "$p"
done

echo "== editor pictures"
"$tolva" editor "$out/editor-defaults.png"
for p in "${presets[@]}"; do
  "$tolva" editor --preset "$p" "$out/editor-$(slug "$p").png"
done
"$tolva" editor --feed "$out/demo-mix.wav" "$out/editor-live.png"

echo
cat "$results"
echo
echo "Results in $out/"
