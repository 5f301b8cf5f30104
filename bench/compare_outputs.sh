#!/usr/bin/env bash
# Renders a matrix of cases with `tolva process` and compares them byte for byte with a reference.
#   bench/compare_outputs.sh record TOLVA_DIR OUT_DIR   render with TOLVA_DIR/tolva into OUT_DIR
#   bench/compare_outputs.sh check  TOLVA_DIR OUT_DIR   render again and cmp against OUT_DIR
# TOLVA_DIR holds tolva and the plug-in library beside it (copy build/release/tools/tolva/ away
# before changing the DSP to keep the old one). Set TOLVA_SIMD to pick a vector path.
# A file that is not byte-identical is checked sample by sample: when the only differences are the
# sign or payload of NaN samples (which operand x86 returns when two NaNs meet depends on the
# compiler's register allocation, not on the arithmetic) it counts as "NaN bits only", otherwise as
# differing. Finite and infinite samples must match bit for bit.
set -euo pipefail
mode=$1
tool=$2/tolva
ref=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$ref"

# Inputs: pink noise, a sine, a loud sine, and silence with a burst of NaN and infinity.
make_inputs() {
    local rate=$1 ch=$2
    sox -R -q -n -r "$rate" -c "$ch" -b 32 -e floating-point "$work/pink_${rate}_$ch.wav" synth 1.5 pinknoise \
        gain -n -3 >/dev/null 2>&1 || sox -R -n -r "$rate" -c "$ch" -b 32 -e floating-point \
        "$work/pink_${rate}_$ch.wav" synth 1.5 pinknoise
    sox -R -q -n -r "$rate" -c "$ch" -b 32 -e floating-point "$work/sine_${rate}_$ch.wav" synth 1.5 sine 220 \
        vol 0.9
    python3 - "$work/nan_${rate}_$ch.wav" "$rate" "$ch" <<'PY'
import struct, sys, math
path, rate, ch = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
n = int(rate * 1.2)
samples = []
for i in range(n):
    for c in range(ch):
        t = i / rate
        v = 0.8 * math.sin(2 * math.pi * (90 + 300 * c) * t) if i < n // 3 else 0.0
        if n // 2 <= i < n // 2 + 7 and c == 0:
            v = float('nan') if i % 2 else float('inf')
        if i == n // 2 + 300 and c == ch - 1:
            v = float('-inf')
        samples.append(v)
data = struct.pack('<%df' % len(samples), *samples)
fmt = struct.pack('<HHIIHH', 3, ch, rate, rate * ch * 4, ch * 4, 32)
with open(path, 'wb') as f:
    f.write(b'RIFF' + struct.pack('<I', 4 + 8 + 16 + 8 + len(data)) + b'WAVE')
    f.write(b'fmt ' + struct.pack('<I', 16) + fmt)
    f.write(b'data' + struct.pack('<I', len(data)) + data)
PY
}

count=0
failed=0
nanonly=0
# Exit status 0: the files differ only in NaN bits; 1: some other sample differs.
nan_bits_only() {
    python3 - "$1" "$2" <<'PY'
import struct, sys, math
a, b = (open(p, 'rb').read() for p in sys.argv[1:3])
if len(a) != len(b):
    sys.exit(1)
start = a.find(b'data') + 8
for i in range(start, len(a), 4):
    if a[i:i + 4] != b[i:i + 4]:
        x, y = struct.unpack('<f', a[i:i + 4])[0], struct.unpack('<f', b[i:i + 4])[0]
        if not (math.isnan(x) and math.isnan(y)):
            sys.exit(1)
PY
}
run_case() {
    local name=$1
    shift
    count=$((count + 1))
    if [ "$mode" = record ]; then
        "$tool" process "$@" "$ref/$name.wav" --quiet
    else
        "$tool" process "$@" "$work/out.wav" --quiet
        if cmp -s "$work/out.wav" "$ref/$name.wav"; then
            :
        elif nan_bits_only "$work/out.wav" "$ref/$name.wav"; then
            nanonly=$((nanonly + 1))
        else
            echo "DIFFERS: $name"
            failed=$((failed + 1))
        fi
    fi
}

hot=(--set "Threshold L=-30" --set "Threshold LM=-30" --set "Threshold HM=-30" --set "Threshold H=-30"
     --set "Ratio L=20" --set "Ratio LM=20" --set "Ratio HM=20" --set "Ratio H=20" --set "Attack H=1")
for rate in 44100 48000 96000 192000; do
    for ch in 1 2; do
        make_inputs "$rate" "$ch"
        for sig in pink sine nan; do
            in="$work/${sig}_${rate}_$ch.wav"
            for block in 1 16 256 1024; do
                run_case "def_${sig}_${rate}_${ch}_$block" "$in" --block "$block"
            done
            run_case "hot_${sig}_${rate}_$ch" "$in" --block 256 "${hot[@]}"
            run_case "auto_${sig}_${rate}_$ch" "$in" --block 100 --set "Auto Gain=yes"
            run_case "hotauto_${sig}_${rate}_$ch" "$in" --block 37 "${hot[@]}" --set "Auto Gain=yes"
            run_case "glide_${sig}_${rate}_$ch" "$in" --block 64 --at 0.3 "F1=1000" --at 0.5 "Ratio LM=50" \
                --ramp 0.2 1.0 "Output Gain=-6:6" --ramp 0.1 0.9 "F3=2000:9000" --at 0.7 "Solo Low-mid=yes"
        done
        in="$work/pink_${rate}_$ch.wav"
        for preset in "Soft Master" "4-Band Limit" "Low-End Control"; do
            run_case "preset_${preset// /_}_${rate}_$ch" "$in" --block 512 --preset "$preset"
        done
        run_case "bypass_${rate}_$ch" "$in" --block 128 --bypass --at 0.5 bypass=off
        run_case "solo_${rate}_$ch" "$in" --block 3 --set "Solo Low=yes" --set "Solo High=yes" --set "Auto Gain=yes"
        [ "$ch" = 1 ] && run_case "mono2_${rate}" "$in" --outputs 2 --block 256
        [ "$ch" = 2 ] && run_case "stereo1_${rate}" "$in" --outputs 1 --block 256
    done
done
if [ "$mode" = record ]; then
    echo "recorded $count cases in $ref"
else
    echo "$count cases: $((count - failed - nanonly)) byte-identical, $nanonly differ only in NaN bits, $failed differ"
    [ "$failed" = 0 ]
fi
