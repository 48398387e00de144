#!/usr/bin/env bash
# The release signed with a throwaway certificate, and installed from a
# folder that holds planted DLLs:
#   signed.sh
#   1. A throwaway code-signing certificate (the password only in the
#      environment, as a provider's would be).
#   2. The release of the win32 preset (its programs ask the local report
#      server stand-in) built by scripts/release.sh, unsigned and then signed.
#   3. osslsigncode verify accepts both signed programs against that
#      certificate; with the signature removed each is the unsigned program
#      again (the PE checksum field aside); the signed Install.exe still
#      carries its manifest; check-imports.sh passes on the signed programs.
#   4. The demo from the signed zip, unzipped beside DLLs under names Windows
#      looks for in a program's own folder (each loaded, it leaves a marker),
#      with Wine told to prefer the folder's copy of each, as Windows does
#      for them: the installer installs, the tag expands, no marker appears.
# Exit code 0 when every check held, 1 otherwise.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
cd "$root"
# Names Windows loads from a program's folder first: not known DLLs, pulled
# in by system DLLs (theming, the desktop compositor, version information,
# user profiles, sound, cryptography).
planted=(version uxtheme dwmapi propsys userenv cryptbase winmm msimg32 secur32 wtsapi32)

failures=0
fail() {
  echo "signed: $*" >&2
  failures=$((failures + 1))
}
source "$root/scripts/wine-harness.sh"
work=$(mktemp -d /tmp/tavri-signed.XXXXXX)
tavri_on_exit "rm -rf '$work'"
out=build/win32

export TAVRI_SIGN_PASSWORD="throwaway-$RANDOM$RANDOM"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tavri throwaway signer" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null &&
  openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.pfx" \
    -passout env:TAVRI_SIGN_PASSWORD || { echo "signed: no throwaway certificate" >&2; exit 1; }

scripts/release.sh --preset win32 >/dev/null || { echo "signed: the unsigned release failed" >&2; exit 1; }
mkdir "$work/unsigned"
cp "$out/Install.exe" "$out/Tavri.dll" "$work/unsigned/"
scripts/release.sh --preset win32 --sign "$work/signer.pfx" >"$work/release.log" 2>&1 ||
  { cat "$work/release.log" >&2; echo "signed: the signed release failed" >&2; exit 1; }
grep -qF "$TAVRI_SIGN_PASSWORD" "$work/release.log" && fail "the password is in the release's output"

# The PE checksum: 4 bytes at 88 past the PE header (whose offset is at 60).
without_checksum() {
  local pe
  pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  head -c $((pe + 88)) "$1"
  tail -c +$((pe + 93)) "$1"
}
for program in Install.exe Tavri.dll; do
  signed=$out/$program
  echo "== $program: $(stat -c %s "$work/unsigned/$program") bytes unsigned, $(stat -c %s "$signed") signed"
  osslsigncode verify -CAfile "$work/cert.pem" -in "$signed" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log" >&2; fail "osslsigncode verify rejects the signed $program"; }
  osslsigncode remove-signature -in "$signed" -out "$work/removed-$program" >/dev/null 2>&1 ||
    fail "the signature of $program cannot be removed"
  cmp -s <(without_checksum "$work/removed-$program") <(without_checksum "$work/unsigned/$program") ||
    fail "$program without its signature is not the unsigned $program"
done
manifest=$(i686-w64-mingw32-objdump -p "$out/Install.exe" | sed -n '/Resource Directory section/,$p')
grep -q 'Entry: ID: 0x000018' <<<"$manifest" && grep -q requireAdministrator "$out/Install.exe" ||
  fail "the signed Install.exe carries no manifest"
scripts/check-imports.sh "$out/Install.exe" "$out/Tavri.dll" || fail "check-imports fails on the signed programs"

# The 64-bit build the harness runs where no 32-bit program runs is not what ships.
if [ -n "${TAVRI_WINDOWS_64BIT_BUILD:-}" ]; then
  [ "$failures" -eq 0 ] || exit 1
  echo "signed: no 32-bit Wine here: the signed release is not installed" >&2
  exit 77
fi
# The signed zip, and the planted DLLs that lie beside it once unzipped.
cp "$out/Tavri-1.00.zip" "$work/Tavri-1.00.zip"
mkdir "$work/downloads"
for name in "${planted[@]}"; do cp "$TAVRI_BIN/planted.dll" "$work/downloads/$name.dll"; done
(cd "$work/downloads" && zip -q "$work/Tavri-1.00.zip" ./*.dll) || fail "the planted DLLs are not in the zip"
overrides=$(IFS=,; echo "${planted[*]}")
TAVRI_DEMO_ZIP=$work/Tavri-1.00.zip WINEDLLOVERRIDES="mscoree,mshtml=;$overrides=n,b" \
  scripts/demo.sh >"$work/demo.log" 2>&1 || { tail -30 "$work/demo.log" >&2; fail "the demo failed"; }
grep 'install_release:' "$work/demo.log"
loaded=$(cd "$WINEPREFIX/drive_c/users/Public/Downloads/Tavri-1.00" && ls ./*.loaded 2>/dev/null)
[ -z "$loaded" ] || fail "planted DLLs were loaded: $(tr '\n' ' ' <<<"$loaded")"

[ "$failures" -eq 0 ] || exit 1
echo "signed: verified, the unsigned build plus a signature, installed and used past ${#planted[@]} planted DLLs"
