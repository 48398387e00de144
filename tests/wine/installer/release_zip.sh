#!/usr/bin/env bash
# The release as a user gets it (run inside tests/wine/run.sh --script): packs
# Tavri-1.00.zip from the current Windows build, unzips it in the prefix and
# has installer_test.exe install from there.
set -u
work=$(mktemp -d /tmp/tavri-release.XXXXXX)
release=$WINEPREFIX/drive_c/users/Public/Downloads/Tavri-1.00
trap 'rm -rf "$work" "$release"' EXIT
(cd "$work" && cpack --config "$TAVRI_BIN/../CPackConfig.cmake" -B "$work" >/dev/null) ||
  { echo "release_zip: cpack failed" >&2; exit 1; }
rm -rf "$release" && mkdir -p "$release" && unzip -q "$work/Tavri-1.00.zip" -d "$release" || exit 1
TAVRI_RELEASE_FOLDER=$(winepath -w "$release") \
  wine "$TAVRI_BIN/installer_test.exe" --gtest_filter='*ReleaseZip*'
