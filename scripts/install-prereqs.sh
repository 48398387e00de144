#!/usr/bin/env bash
# Installs what Tavri needs, from Debian packages by name. Idempotent: runs
# apt-get only for what is missing.
#   install-prereqs.sh           everything: build, demo and the whole test suite
#   install-prereqs.sh --demo    only what the demo needs (no format checker, no locales)
set -euo pipefail

demo_packages=(
  cmake ninja-build g++ make libgtest-dev libgmock-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32 mingw-w64-tools libwine-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32  # where no 32-bit program runs
  wine wine32:i386 wine64 xvfb
  libssl-dev openssl zip unzip
)
test_packages=(
  clang-format           # the one format of all C++ (scripts/format.sh)
  locales                # a double-byte code page for the fetch tests
  osslsigncode           # signing a release (scripts/release.sh --sign) and its test
)

packages=("${demo_packages[@]}")
[ "${1:-}" = "--demo" ] || packages+=("${test_packages[@]}")

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

dpkg --print-foreign-architectures | grep -qx i386 || "${sudo_cmd[@]}" dpkg --add-architecture i386

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-prereqs: everything is installed"
  exit 0
fi

echo "install-prereqs: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
