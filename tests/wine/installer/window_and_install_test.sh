#!/usr/bin/env bash
# Runs the installer's Windows-side tests (under tests/wine/run.sh --script)
# and keeps the screenshot of the installer window they take as
# build/artifacts/installer.png.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../harness.sh"
mkdir -p "$TAVRI_ARTIFACTS"
rm -f "$TAVRI_ARTIFACTS/installer.bmp"
wine "$TAVRI_BIN/installer_wine_test.exe" --artifacts "$(tavri_winpath "$TAVRI_ARTIFACTS")" "$@"
rc=$?
if [ -f "$TAVRI_ARTIFACTS/installer.bmp" ]; then
  convert "$TAVRI_ARTIFACTS/installer.bmp" -strip -define png:exclude-chunk=date,time \
    "$TAVRI_ARTIFACTS/installer.png" && rm -f "$TAVRI_ARTIFACTS/installer.bmp"
fi
exit $rc
