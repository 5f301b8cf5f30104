#!/usr/bin/env bash
# Checks the formatting, then builds and runs the whole test suite: a normal build and tolva
# validate on its plug-in, the whole tree compiled with clang, a build without SSE2 and AVX2 code,
# an AddressSanitizer + UndefinedBehaviorSanitizer build, the threaded tests under ThreadSanitizer,
# and a short run of every fuzz target. Each stage ends with the time it took.
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
# Configures build/<flavour> and builds only the programs of the tests that ctest selects with the
# remaining arguments (each test's own executable, with what it depends on). A test that runs a
# script instead comes with the test of the same label whose program builds what it needs.
build_tests() {
  local flavour=$1
  shift
  scripts/build.sh "$flavour" --target help >/dev/null
  local targets selected=()
  targets=$(cmake --build "build/$flavour" --target help | sed -n 's/^\([^ :]*\): .*/\1/p')
  mapfile -t selected < <(ctest --test-dir "build/$flavour" -N "$@" | sed -n 's/^ *Test *#[0-9]*: //p' |
    grep -Fx -f <(echo "$targets") || true)
  [ ${#selected[@]} -eq 0 ] || scripts/build.sh "$flavour" --target "${selected[@]}"
}
# Starts the stage named $1 ("" after the last) and ends the one before with the time it took.
stage_start=$SECONDS
stage() {
  [ -z "${stage_name:-}" ] || echo "== $stage_name: $((SECONDS - stage_start)) s"
  stage_name=$1
  stage_start=$SECONDS
  [ -z "$stage_name" ] || echo "== $stage_name"
}

stage "formatting"
scripts/format.sh --check

stage "normal build"
scripts/build.sh release
run_ctest release -LE x11
run_x11_ctest release
echo "== tolva validate on the built plug-in"
build/release/tools/tolva/tolva validate --strictness 10

stage "clang build (tests and benchmarks compiled, warnings as errors)"
scripts/build.sh clang

stage "build without SSE2 and AVX2 code paths: DSP, plug-in, graphics and lighting tests"
scalar_tests=(-L '^(dsp|tolvacompressor|plugin|plugkit/graphics|plugkit/gui|plugkit/pbrwidgets)' -LE x11)
build_tests scalar "${scalar_tests[@]}"
run_ctest scalar "${scalar_tests[@]}"

stage "AddressSanitizer + UndefinedBehaviorSanitizer build"
scripts/build.sh asan
run_ctest asan -LE x11
run_x11_ctest asan

stage "ThreadSanitizer build (threaded tests)"
build_tests tsan -L threads
run_ctest tsan -L threads

stage "fuzz targets (short run)"
scripts/build.sh fuzz --target fuzz_jpeg fuzz_png fuzz_font fuzz_state_chunk fuzz_parameter_text fuzz_host_ops \
  fuzz_wav
scripts/fuzz.sh 20
stage ""
