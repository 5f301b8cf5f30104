#!/usr/bin/env bash
# Runs ardour_session.lua in Ardour's headless Lua session tool with the dummy backend, the built
# bundle on LV2_PATH and a throw-away home folder. Exit 77 (skipped) when ardour7-lua is missing.
#   ardour_test.sh <folder holding tolva.lv2> <script>
set -euo pipefail
if ! command -v ardour7-lua >/dev/null; then
  echo "SKIPPED: ardour7-lua is not installed (Debian package ardour; scripts/deps.sh installs it)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
export LV2_PATH="$(cd "$1" && pwd)" TOLVA_SESSION_DIR="$work/session"
# Output line-buffered, so a crash still shows how far the script got.
timeout 150 stdbuf -oL -eL ardour7-lua "$2" 2>&1 | tee "$work/log"
grep -q "^ARDOUR SESSION TEST PASSED$" "$work/log"
