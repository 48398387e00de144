#!/usr/bin/env bash
# The release as the provider hands it out:
#   scripts/release.sh [--sign CERT.pfx [--timestamp URL]] [--preset NAME]
# builds the release preset's two programs and leaves Tavri-1.00.zip, the
# shipped Install.exe and Tavri.dll, and SHA256SUMS (of those three) in
# build/release/ (build/NAME/ for --preset NAME; the win32 preset's programs
# ask the local report server stand-in, for tests).
#
# The same commit gives the same bytes in any folder at any time: the build's
# time is SOURCE_DATE_EPOCH, the last commit's unless it is set; the build
# keeps link times and its folder out of the programs (CMakeLists.txt); the
# zip holds its files in one order, with that time, in UTC, and nothing of
# the file system's (owners, extra time fields).
#
# --sign CERT.pfx: an Authenticode SHA-256 signature on Install.exe and
# Tavri.dll (osslsigncode), before they are zipped and summed. The
# certificate's password is read from TAVRI_SIGN_PASSWORD (never on a command
# line). --timestamp URL: the RFC 3161 time-stamp server of the certificate's
# authority, so the signature outlives the certificate.
set -euo pipefail
cd "$(dirname "$0")/.."
usage() { sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; }
preset=release certificate='' timestamp=''
while [ $# -gt 0 ]; do
  case $1 in
    --sign) certificate=${2:?--sign needs a certificate file}; shift 2 ;;
    --timestamp) timestamp=${2:?--timestamp needs a URL}; shift 2 ;;
    --preset) preset=${2:?--preset needs a name}; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
if [ -n "$certificate" ]; then
  [ -f "$certificate" ] || { echo "release: no certificate at $certificate" >&2; exit 2; }
  [ -n "${TAVRI_SIGN_PASSWORD+set}" ] ||
    { echo "release: set TAVRI_SIGN_PASSWORD to the certificate's password" >&2; exit 2; }
  certificate=$(realpath "$certificate")
fi
[ -z "$timestamp" ] || [ -n "$certificate" ] || { echo "release: --timestamp without --sign" >&2; exit 2; }

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) ||
    { echo "release: not a git checkout: set SOURCE_DATE_EPOCH" >&2; exit 2; }
fi
export SOURCE_DATE_EPOCH

scripts/install-prereqs.sh >/dev/null
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target Tavri Install
out=build/$preset
stage=$out/release-files
rm -rf "$stage"
cmake --install "$out" --component release --prefix "$stage" >/dev/null

if [ -n "$certificate" ]; then
  for program in Install.exe Tavri.dll; do
    printf '%s' "$TAVRI_SIGN_PASSWORD" |
      osslsigncode sign -pkcs12 "$certificate" -readpass - -h sha256 -n "Tavri Plugin" \
        ${timestamp:+-ts "$timestamp"} -in "$stage/$program" -out "$stage/$program.signed" >/dev/null
    mv "$stage/$program.signed" "$stage/$program"
  done
fi

# Every entry the same time and permissions, in name order; zip's local times in UTC.
chmod 0644 "$stage"/*
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
rm -f "$out/Tavri-1.00.zip"
(cd "$stage" && LC_ALL=C TZ=UTC zip -q -X -D "../Tavri-1.00.zip" $(LC_ALL=C ls))
cp "$stage/Install.exe" "$stage/Tavri.dll" "$out/"
(cd "$out" && sha256sum Tavri-1.00.zip Install.exe Tavri.dll >SHA256SUMS)
echo "release: $out/Tavri-1.00.zip (${certificate:+signed, }time $SOURCE_DATE_EPOCH)"
cat "$out/SHA256SUMS"
