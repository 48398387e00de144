#!/usr/bin/env bash
# The release as a user gets it (run inside tests/wine/run.sh): packs
# Tavri-1.00.zip from the current Windows build, unzips it in the prefix and
# has installer_test.exe install from there.
set -u
work=$WINEPREFIX/drive_c/users/Public/Downloads/tavri-release.$$
trap 'rm -rf "$work"' EXIT
mkdir -p "$work" && (cd "$work" && cpack --config "$TAVRI_BIN/../CPackConfig.cmake" -B "$work" >/dev/null) &&
  unzip -q "$work/Tavri-1.00.zip" -d "$work/Tavri-1.00" || { echo "release_zip: cannot pack or unzip" >&2; exit 1; }
TAVRI_RELEASE_FOLDER=$(winepath -w "$work/Tavri-1.00") \
  wine "$TAVRI_BIN/installer_test.exe" --gtest_filter='*ReleaseZip*'
