#!/bin/sh
# The AVX2 kernel is the only code of the plug-in library that may use VEX-encoded instructions:
# the linker keeps one copy of every inline function, and if that copy came from the AVX2
# translation unit, processors without AVX would crash in the SSE2 path. Lists every function of
# the library ($1) that holds a VEX instruction and fails when any other than runBlockAvx2 does.
set -eu
lib=$1
found=$(objdump -d --no-show-raw-insn "$lib" |
    awk '/^[0-9a-f]+ <.*>:$/ {name = $2} /\tv[a-z0-9]+ / {print name}' | sort -u)
echo "functions with VEX instructions:"
echo "$found"
[ -n "$found" ] || { echo "no AVX2 kernel found: is this the plug-in library?"; exit 1; }
others=$(echo "$found" | grep -v 'runBlockAvx2' || true)
if [ -n "$others" ]; then
    echo "AVX code outside the AVX2 kernel:"
    echo "$others"
    exit 1
fi
