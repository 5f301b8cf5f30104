#!/usr/bin/env bash
# Configures and builds one flavour of the tree into build/<flavour>.
#   scripts/build.sh release      optimised build with tests, benchmarks and tools (default)
#   scripts/build.sh asan         AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/build.sh tsan         ThreadSanitizer
#   scripts/build.sh fuzz         libFuzzer targets, built with clang
#   scripts/build.sh scalar       as for a processor without SSE2: no SSE2 or AVX2 code paths (tests only)
#   scripts/build.sh clang        everything (tests and benchmarks too) compiled with clang, warnings
#                                 as errors as in every flavour
# Extra arguments are passed to the build tool (for example a --target).
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
shift || true
jobs=$(nproc 2>/dev/null || echo 2)

case "$flavour" in
  release) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)    args=(-DCMAKE_BUILD_TYPE=Debug -DTOLVA_SANITIZE=address -DTOLVA_BUILD_BENCH=OFF) ;;
  tsan)    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVA_SANITIZE=thread -DTOLVA_BUILD_BENCH=OFF) ;;
  fuzz)    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVA_BUILD_FUZZ=ON -DTOLVA_BUILD_TESTS=OFF
                 -DTOLVA_BUILD_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  scalar)  args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVA_FORCE_SCALAR=ON -DTOLVA_BUILD_BENCH=OFF) ;;
  clang)   args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "unknown flavour: $flavour" >&2; exit 2 ;;
esac

# ccache, when installed, shares object files between build trees and checkouts of the same sources.
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cmake -S . -B "build/$flavour" -G Ninja -DTOLVA_WERROR=ON "${args[@]}"
cmake --build "build/$flavour" -j "$jobs" "$@"
