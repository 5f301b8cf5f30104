#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, only when one is missing.
# Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libstb-dev libsndfile1-dev libx11-dev libxext-dev libxtst-dev xvfb xauth ttf-bitstream-vera
  clang libclang-rt-14-dev libjpeg-turbo-progs xxd
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
