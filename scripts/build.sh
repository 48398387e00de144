#!/usr/bin/env bash
# Installs what is missing (scripts/install-prereqs.sh), then builds the
# Windows binaries (build/win32/bin) and the native tree (unit tests,
# report server stand-in, the ctest registry) in build/.
#   scripts/build.sh
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 0 ] || { echo "usage: scripts/build.sh" >&2; exit 2; }
scripts/install-prereqs.sh
mkdir -p build
cmake --preset win32 >/dev/null
cmake --build --preset win32
# Where no 32-bit program runs, the Windows-side tests run a 64-bit build.
if ! "${TAVRI_WINE32:-/usr/lib/wine/wine}" --version >/dev/null 2>&1; then
  cmake --preset win64 >/dev/null
  cmake --build --preset win64
fi
cmake --preset native >/dev/null
cmake --build --preset native
