#!/usr/bin/env bash
# Installs everything Tavri needs to build and test, from Debian packages by name.
# Idempotent: runs apt-get only for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev
  g++-mingw-w64-i686 mingw-w64-tools libwine-dev
  wine wine32:i386 xvfb x11-apps imagemagick
  libcpp-httplib-dev libssl-dev openssl locales
  clang libclang-rt-14-dev
  zip unzip
)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  updated=
else
  updated=
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-prereqs: everything is installed"
  exit 0
fi

echo "install-prereqs: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
