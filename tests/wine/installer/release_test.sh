#!/usr/bin/env bash
# The release as a user gets it: Tavri-1.00.zip packed from the current
# Windows build, unzipped in the prefix and installed by Install.exe alone;
# then the host stand-in lists the plug-in and expands the tag against the
# report server stand-in. The prefix's install state and stored credentials
# are put back afterwards (other suites share the prefix).
# Run under the harness: tests/wine/run.sh --script release_test.sh
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../harness.sh"
source "$TAVRI_ROOT/scripts/reportserver.sh"

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; failures=$((failures + 1)); fi
}

work=$(mktemp -d /tmp/tavri-release.XXXXXX)
plugins="$WINEPREFIX/drive_c/Program Files/Messenger Plus! 2/Plugins"
destination="$plugins/Tavri.dll"
class_key='HKCR\CLSID\{7B4133D8-196A-4826-99B6-F8A0BC5A95F5}\InprocServer32'
settings_key='HKCU\Software\VB and VBA Program Settings\Tavri Plugin'
hosts_key='HKLM\SOFTWARE\Messenger Plus! 2\Plugins'

# --- what the prefix holds now, to put back at the end
[ -f "$destination" ] && cp "$destination" "$work/plugin.saved"
saved_server=$(wine reg query "$class_key" /ve 2>/dev/null | tr -d '\r' | awk -F'REG_SZ' 'NF > 1 {sub(/^ +/, "", $2); print $2}')
wine reg export "$settings_key" "$(winepath -w "$work/settings.reg")" /y >/dev/null 2>&1
wine reg export "$hosts_key" "$(winepath -w "$work/hosts.reg")" /y >/dev/null 2>&1

uninstall() {
  wine regsvr32 /u /s "$(winepath -w "$TAVRI_BIN/Tavri.dll")" >/dev/null 2>&1
  rm -f "$destination"
  wine reg delete "$hosts_key" /v Tavri /f >/dev/null 2>&1
}
restore() {
  uninstall
  wine reg delete "$settings_key" /f >/dev/null 2>&1
  [ -f "$work/settings.reg" ] && wine regedit /s "$(winepath -w "$work/settings.reg")"
  [ -f "$work/hosts.reg" ] && wine regedit /s "$(winepath -w "$work/hosts.reg")"
  [ -f "$work/plugin.saved" ] && cp "$work/plugin.saved" "$destination"
  [ -n "$saved_server" ] && wine regsvr32 /s "$saved_server" >/dev/null 2>&1
  rm -rf "$work"
}
trap 'restore; reportserver_stop_all' EXIT

# --- the package, packed from the current build
(cd "$work" && cpack --config "$TAVRI_BIN/../CPackConfig.cmake" -B "$work/package" >/dev/null) ||
  { echo "FAILED: cpack" >&2; exit 1; }
zip=$work/package/Tavri-1.00.zip
listing=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
check "the zip holds the installer, the plug-in, install.reg and the readme" \
  test "$listing" = "Install.exe README.txt Tavri.dll install.reg "
imports=$(i686-w64-mingw32-objdump -p "$TAVRI_BIN/Install.exe" | awk '/DLL Name:/ {print tolower($3)}' | sort | tr '\n' ' ')
check "Install.exe imports only system DLLs ($imports)" \
  bash -c '! grep -qvE "^(kernel32|user32|gdi32|advapi32|msvcrt)\.dll$" <<<"$(tr " " "\n" <<<"$1" | sed "/^$/d")"' _ "$imports"
check "Install.exe is a GUI program" \
  bash -c 'i686-w64-mingw32-objdump -p "$1" | grep -q "Subsystem.*(Windows GUI)"' _ "$TAVRI_BIN/Install.exe"

# --- install from the zip, nothing else
uninstall
check "Install.exe installs the release" bash "$here/install_release.sh" "$zip"
check "the plug-in file is in the host's plug-in folder" cmp -s "$destination" "$TAVRI_BIN/Tavri.dll"
list=$(wine "$TAVRI_BIN/plughost.exe" --raw --list 2>&1 | tr -d '\r')
check "plughost --list lists the plug-in and its tag" \
  bash -c 'grep -q Tavri <<<"$1" && grep -qF "(!XTAVRI)" <<<"$1"' _ "$list"

# --- and the tag expands, against the report server stand-in
printf 'alice\tsecret\tplan_name=Home Broadband 50GB Upgrade now\\nusage=1234MB\\nplan_limit=50000MB\\n\n' \
  >"$work/accounts"
if reportserver_start port --accounts "$work/accounts" --log "$work/requests.log"; then
  wine reg add "$settings_key\\Data" /v username /d alice /f >/dev/null 2>&1
  wine reg add "$settings_key\\Data" /v password /d secret /f >/dev/null 2>&1
  expanded=$(timeout 120 wine "$TAVRI_BIN/plughost.exe" --raw "usage: (!XTAVRI)" 2>&1 | tr -d '\r\002\017')
  echo "$expanded"
  check "the tag expands to the four lines" \
    bash -c 'grep -q "Plan Name: Home Broadband 50GB Upgrade" <<<"$1" && grep -q "Amount Used: 1234MB" <<<"$1" &&
             grep -q "Plan Limit: 50000MB" <<<"$1" && grep -q "Amount Left: 48766 MB" <<<"$1"' _ "$expanded"
else
  check "the report server stand-in starts" false
fi

echo "release: $failures failed"
[ "$failures" -eq 0 ]
