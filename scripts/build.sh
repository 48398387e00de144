#!/usr/bin/env bash
# Installs what is missing (scripts/install-prereqs.sh), then builds the
# Windows binaries (build/win32/bin) and the native tree (unit tests, fuzzer,
# report server stand-in, the ctest registry) in build/.
#   scripts/build.sh
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 0 ] || { echo "usage: scripts/build.sh" >&2; exit 2; }
scripts/install-prereqs.sh
mkdir -p build
cmake --preset win32 >/dev/null
cmake --build --preset win32
cmake --preset native >/dev/null
cmake --build --preset native
