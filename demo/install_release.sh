#!/usr/bin/env bash
# Installs a release the way a user does, inside the Wine prefix: unzips it
# into C:\users\Public\Downloads\Tavri-1.00, makes sure the host's plug-in
# folder exists (below the Program Files folder the prefix gives a 32-bit
# program: "Program Files (x86)" in a 64-bit prefix), starts Install.exe
# from there, presses "&Install" by automation and prints the message the
# installer ends with.
#
#   demo/install_release.sh [ZIP]    (scripts/demo.sh runs it)
#
# ZIP defaults to build/win32/Tavri-1.00.zip
# (cmake --build --preset win32 --target package). Needs the harness around
# it (DISPLAY, WINEPREFIX): source scripts/wine-harness.sh and
# call tavri_wine_start first. Exit code 0 when the installer said "Done!",
# 1 when it said anything else or did not end, 2 for a usage problem.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../scripts/wine-harness.sh"

zip=${1:-$TAVRI_BUILD/win32/Tavri-1.00.zip}
[ -f "$zip" ] || { echo "install_release: no release at $zip" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || { echo "install_release: no display; call tavri_wine_start first" >&2; exit 2; }
uidrive=$TAVRI_BIN/uidrive.exe
[ -f "$uidrive" ] || { echo "install_release: $uidrive is not built" >&2; exit 2; }

release=$WINEPREFIX/drive_c/users/Public/Downloads/Tavri-1.00
rm -rf "$release"
plugins=$(tavri_host_plugin_folder) || exit 2
mkdir -p "$release" "$plugins"
unzip -q -o "$zip" -d "$release" || exit 2

# Started from its own folder, as a double click in the file manager would.
(cd "$release" && exec wine Install.exe) &
installer=$!

if ! wine "$uidrive" wait "Tavri Plugin Installer" 30 ||
   ! wine "$uidrive" click "Tavri Plugin Installer" "&Install"; then
  kill "$installer" 2>/dev/null
  exit 1
fi
message=$(wine "$uidrive" msgbox "Tavri Installer" 150 | tr -d '\r')
echo "install_release: the installer said: $message"

for _ in $(seq 1 150); do
  kill -0 "$installer" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$installer" 2>/dev/null; then
  echo "install_release: the installer did not end" >&2
  kill "$installer" 2>/dev/null
  exit 1
fi
wait "$installer"
rc=$?
[[ $message == Done!* ]] && [ "$rc" -eq 0 ] && exit 0
echo "install_release: not installed (installer exit code $rc)" >&2
exit 1
