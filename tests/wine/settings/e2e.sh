#!/usr/bin/env bash
# The settings command end to end (inside run.sh): runs settings_e2e_test.exe
# and keeps the screenshot of the open settings window as
# $TAVRI_ARTIFACTS/settings.png.
#   e2e.sh PATH/settings_e2e_test.exe [gtest flags]
set -u
here=$(dirname "${BASH_SOURCE[0]}")
artifacts=${TAVRI_ARTIFACTS:-${TAVRI_BUILD:-$(cd "$here/../../.." && pwd)/build}/artifacts}
mkdir -p "$artifacts"
rm -f "$artifacts/settings.bmp"

bash "$here/gtest.sh" "$@" --artifacts "$(winepath -w "$artifacts")"
rc=$?

if [ -f "$artifacts/settings.bmp" ]; then
  convert "$artifacts/settings.bmp" -strip -define png:exclude-chunk=date,time \
    "$artifacts/settings.png" && rm -f "$artifacts/settings.bmp"
  echo "e2e.sh: screenshot in $artifacts/settings.png"
fi
exit "$rc"
