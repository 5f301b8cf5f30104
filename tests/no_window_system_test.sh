#!/usr/bin/env bash
# Fails when one of the given programs or libraries needs libX11, directly or through another
# library: the DSP, the compressor and the plug-in build without the editor and its window system.
#   no_window_system_test.sh <file>...
set -euo pipefail
failed=0
for file in "$@"; do
  if ! libs=$(ldd "$file" 2>&1); then
    echo "FAIL: ldd cannot read $file: $libs"
    failed=1
  elif grep -q 'libX11\.so' <<<"$libs"; then
    echo "FAIL: $file links libX11"
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "$# files, none links libX11"
exit "$failed"
