#!/usr/bin/env bash
# Installs what is missing, then builds the Windows binaries (build/win32/bin)
# and the native tree (unit tests, report server stand-in, test registry).
set -euo pipefail
cd "$(dirname "$0")/.."
quiet=${TAVRI_QUIET_BUILD:-}

scripts/install-prereqs.sh
run() { if [ -n "$quiet" ]; then "$@" >>build/build.log 2>&1 || { tail -50 build/build.log; return 1; }; else "$@"; fi; }
mkdir -p build
cmake --preset win32 >/dev/null
run cmake --build --preset win32
cmake --preset native >/dev/null
run cmake --build --preset native
