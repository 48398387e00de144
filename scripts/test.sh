#!/usr/bin/env bash
# The whole test suite: builds everything, then one ctest run over the native
# unit tests, the fuzzer and the Windows binaries under Wine; then the line
# counts of code and tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
status=0
ctest --test-dir build/native --output-on-failure "$@" || status=$?
scripts/loc.sh
exit "$status"
