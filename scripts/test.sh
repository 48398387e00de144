#!/usr/bin/env bash
# The whole test suite:
#   scripts/test.sh [CTEST-ARGS...]     e.g. -R wine_report, -L wine
# installs what is missing and builds everything (scripts/build.sh); checks
# the format of all C++ (scripts/format.sh); runs ctest over the native unit
# tests, the import check and the Windows binaries under Wine;
# and counts the lines of code and of tests (scripts/loc.sh --check: more
# than 0.35 test lines to a line of code fails).
# Each check runs even when an earlier one failed; the exit status is 1 if
# any of them failed. Everything the Wine tests start is stopped by them.
set -euo pipefail
cd "$(dirname "$0")/.."
usage() { sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; }
case "${1:-}" in
  -h | --help) usage; exit 0 ;;
  "" | -*) ;;
  *) usage >&2; exit 2 ;;
esac
scripts/build.sh
status=0
scripts/format.sh || status=1
ctest --test-dir build/native --output-on-failure "$@" || status=1
scripts/loc.sh --check || status=1
exit "$status"
