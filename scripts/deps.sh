#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the fuzz pass, the format check and the LV2
# benchmark use, only when one is missing. Safe to run again. Needs root or sudo to install; without
# either it prints the command for an administrator to run and fails.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config  # compiler and build
  libgtest-dev libbenchmark-dev                 # tests and benchmarks
  libstb-dev libsndfile1-dev                    # PNG decoding and glyph rasterising; WAV files
  ttf-bitstream-vera                            # the font embedded in the plug-in
  libx11-dev libxext-dev                        # the X11 editor window (MIT-SHM)
  libxtst-dev xauth xvfb                        # X11 tests: XTest input on a private Xvfb
  libjpeg-turbo-progs                           # cjpeg, which makes the JPEG test images
  clang libclang-rt-dev                         # libFuzzer (the fuzz pass)
  clang-format                                  # scripts/format.sh
  liblilv-dev lv2-dev                           # the LV2 binding and our LV2 host
  ardour lilv-utils                             # ardour7-lua, lv2info and lv2apply in the LV2 tests
  calf-plugins lsp-plugins-lv2 zam-plugins      # the peers of bench/lv2_bench.sh
  sox                                           # test signals and the peer of bench/tolva_vs_sox.sh
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "Not root and no sudo: ask an administrator to run" >&2
    echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
