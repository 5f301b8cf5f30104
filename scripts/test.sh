#!/usr/bin/env bash
# Checks the formatting, then builds and runs the whole test suite: a normal build and tolva
# validate on its plug-in, a build of the scalar code paths, an AddressSanitizer +
# UndefinedBehaviorSanitizer build, the threaded tests under ThreadSanitizer, and a short run of
# every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
run_ctest() {
  ctest --test-dir "build/$1" --output-on-failure -j "$jobs" "${@:2}"
}
# Tests labelled "x11" need an X server: they run one at a time (XTest moves the one pointer of the
# server) on a private Xvfb, and fail rather than skip when it does not start.
run_x11_ctest() {
  TOLVA_REQUIRE_DISPLAY=1 xvfb-run -a ctest --test-dir "build/$1" --output-on-failure -L x11
}

echo "== formatting"
scripts/format.sh --check

echo "== normal build"
scripts/build.sh release
run_ctest release -LE x11
run_x11_ctest release
echo "== tolva validate on the built plug-in"
build/release/tools/tolva/tolva validate --strictness 10

echo "== scalar code paths (SSE2 kernels switched off): DSP, plug-in, graphics and lighting tests"
scripts/build.sh scalar
run_ctest scalar -L '^(dsp|tolvacompressor|plugin|plugkit/graphics|plugkit/gui|plugkit/pbrwidgets)' -LE x11

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
scripts/build.sh asan
run_ctest asan -LE x11
run_x11_ctest asan

echo "== ThreadSanitizer build (threaded tests)"
# Only the executables of the tests labelled "threads" are built under ThreadSanitizer.
scripts/build.sh tsan --target help >/dev/null
mapfile -t tsan_targets < <(ctest --test-dir build/tsan -N -L threads | sed -n 's/^ *Test *#[0-9]*: //p')
if [ ${#tsan_targets[@]} -gt 0 ]; then
  scripts/build.sh tsan --target "${tsan_targets[@]}"
  run_ctest tsan -L threads
fi

echo "== fuzz targets (short run)"
scripts/build.sh fuzz --target fuzz_jpeg fuzz_png fuzz_font fuzz_state_chunk fuzz_parameter_text fuzz_host_ops \
  fuzz_wav
scripts/fuzz.sh 20
