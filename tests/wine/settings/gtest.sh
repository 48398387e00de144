#!/usr/bin/env bash
# Runs a GoogleTest program under Wine (inside run.sh) and fails unless the
# program ran to its summary: a Wine process ended from outside the test can
# exit with 0 before it has run all its tests.
#   gtest.sh PROGRAM.exe [ARGS...]
set -u
log=$(mktemp)
wine "$@" 2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
if [ "$rc" -eq 0 ] && ! grep -q '^\[  PASSED  \]' "$log"; then
  echo "gtest.sh: $(basename "$1") ended before its summary" >&2
  rc=1
fi
rm -f "$log"
exit "$rc"
