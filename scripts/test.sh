#!/usr/bin/env bash
# Builds and runs the whole test suite: a normal build, then an AddressSanitizer +
# UndefinedBehaviorSanitizer build, then the threaded tests under ThreadSanitizer, then a short run
# of every fuzz target.
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

echo "== normal build"
scripts/build.sh release
run_ctest release -LE x11
run_x11_ctest release

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

if [ -f fuzz/CMakeLists.txt ]; then
  echo "== fuzz targets (short run)"
  scripts/build.sh fuzz --target fuzz_jpeg fuzz_png fuzz_font
  scripts/fuzz.sh 20
fi
