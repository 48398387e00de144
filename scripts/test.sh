#!/usr/bin/env bash
# The whole test suite: builds everything, then one ctest run over the native
# unit tests, the fuzzer and the Windows binaries under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
ctest --test-dir build/native --output-on-failure "$@"
