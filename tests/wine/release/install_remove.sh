#!/usr/bin/env bash
# The release zip installed and removed as a user would, in the prefix the
# harness picks (TAVRI_WINDOWS_ARCH=win64: 64-bit Windows), each stage looked at.
#   install_remove.sh FOLDER [PROGRAM_FILES]
# FOLDER: the Windows folder the plug-in file must land in. PROGRAM_FILES (a
# 32-bit prefix only): the Program Files folder the prefix names before the
# install (ProgramFilesDir), as Windows in another language or on another
# drive does.
#   1. Install.exe from the unzipped release, "&Install" pressed
#      (demo/install_release.sh): the file is in FOLDER and nowhere else; the
#      host's list entry and the class registration naming that file are in
#      the registry view the 32-bit host reads and not in the 64-bit one.
#   2. The 32-bit host stand-in lists the plug-in and expands (!XTAVRI)
#      against the report server.
#   3. The README's removal steps: regsvr32 /u and regedit /s uninstall.reg,
#      both the system's 32-bit ones by full path, the file deleted, the
#      stored account removed. Then no registry view and no folder holds
#      anything the install added, and the host starts and lists no Tavri.
# Exit code 0 when every check held, 1 otherwise, 2 for a usage problem.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../../scripts/wine-harness.sh"

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: install_remove.sh FOLDER [PROGRAM_FILES]" >&2
  exit 2
fi
folder=$1
program_files=${2:-}
if [ -n "$program_files" ] && [ "$WINEARCH" != win32 ]; then
  echo "install_remove: PROGRAM_FILES is for a 32-bit prefix" >&2
  exit 2
fi
zip=$TAVRI_BUILD/win32/Tavri-1.00.zip
host=$TAVRI_BIN/plughost.exe

host_key='HKLM\SOFTWARE\Messenger Plus! 2\Plugins'
class_key='HKCR\CLSID\{7B4133D8-196A-4826-99B6-F8A0BC5A95F5}'
# What the install adds to the registry: the host's list entry (a value, the
# key is the host's own), the class, its name, type library and interface,
# and the account the user stores.
added_keys=(
  "$class_key"
  'HKCR\TavriPlugin.plugin'
  'HKCR\TypeLib\{2E7AD169-9528-40B8-AE1C-72D6C464036E}'
  'HKCR\Interface\{18BE9D04-6059-41A1-A03E-3F9952C850A8}'
  'HKCU\Software\VB and VBA Program Settings\Tavri Plugin'
)
# The view the 32-bit host reads, the other one (64-bit Windows only), and
# the 32-bit system tools the README names.
if [ "$WINEARCH" = win64 ]; then
  ours=/reg:32 views=(/reg:32 /reg:64)
  regsvr32='C:\windows\syswow64\regsvr32.exe' regedit='C:\windows\syswow64\regedit.exe'
else
  ours='' views=('')
  regsvr32='C:\windows\system32\regsvr32.exe' regedit='C:\windows\regedit.exe'
fi

failures=0
fail() {
  echo "install_remove: $*" >&2
  failures=$((failures + 1))
}
# has VIEW KEY [/v NAME]: the key (or value) is there in that view.
has() {
  local view=$1
  shift
  local args=("$@")
  [ -z "$view" ] || args+=("$view")
  wine reg query "${args[@]}" >/dev/null 2>&1
}
# What is left of the install, one line each; nothing when it is all gone.
leftovers() {
  local view key
  for view in "${views[@]}"; do
    has "$view" "$host_key" /v Tavri && echo "the host's entry Tavri ${view:-in the registry}"
    for key in "${added_keys[@]}"; do
      has "$view" "$key" && echo "$key ${view:-in the registry}"
    done
  done
  [ ! -e "$plugins/Tavri.dll" ] || echo "$folder\\Tavri.dll"
}
# The host's list in one line: what it printed, standard error included.
host_list() { wine "$host" --list 2>&1 | tr -d '\r' | tr '\n' ' '; }

tavri_wine_start
source "$TAVRI_ROOT/scripts/reportserver.sh"
work=$(mktemp -d /tmp/tavri-release.XXXXXX)
tavri_on_exit 'rm -rf "$work"'
# The release as it ships now (uninstall.reg included).
(cd "$TAVRI_BUILD/win32" && cpack --config CPackConfig.cmake >/dev/null) ||
  { echo "install_remove: cannot pack the release in $TAVRI_BUILD/win32" >&2; exit 2; }

if [ -n "$program_files" ] &&
   ! wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion' /v ProgramFilesDir \
     /d "$program_files" /f >/dev/null 2>&1; then
  echo "install_remove: ProgramFilesDir not set" >&2
  exit 1
fi
plugins=$(tavri_drive_c_path "$folder") || exit 2
# A machine with the host installed: its list key and plug-in folder exist.
# Nothing of an earlier run is left (a failed one may not have removed it).
wine reg add "$host_key" /f ${ours:+"$ours"} >/dev/null 2>&1
for view in "${views[@]}"; do
  wine reg delete "$host_key" /v Tavri /f ${view:+"$view"} >/dev/null 2>&1
  for key in "${added_keys[@]}"; do
    wine reg delete "$key" /f ${view:+"$view"} >/dev/null 2>&1
  done
done
fixed='C:\Program Files\Messenger Plus! 2\Plugins'
rm -f "$plugins/Tavri.dll" "$(tavri_drive_c_path "$fixed\\Tavri.dll")"

echo "== installing the release in $WINEPREFIX ($WINEARCH)"
"$TAVRI_ROOT/demo/install_release.sh" "$zip" || fail "Install.exe did not say Done!"
cmp -s "$plugins/Tavri.dll" <(unzip -p "$zip" Tavri.dll) || fail "Tavri.dll is not in $folder"
if [ "${folder,,}" != "${fixed,,}" ] && [ -e "$(tavri_drive_c_path "$fixed\\Tavri.dll")" ]; then
  fail "Tavri.dll was copied to $fixed as well"
fi
has "$ours" "$host_key" /v Tavri || fail "the host's entry is not in the view the 32-bit host reads"
server=$(tavri_reg_value "$class_key\\InprocServer32" /ve ${ours:+"$ours"})
server=${server//\//\\}
[ "${server,,}" = "${folder,,}\\tavri.dll" ] ||
  fail "the class is registered from \"$server\", not from $folder"
if [ "$WINEARCH" = win64 ]; then
  has /reg:64 "$host_key" /v Tavri && fail "the host's entry is in the 64-bit view"
  has /reg:64 "$class_key" && fail "the class is registered in the 64-bit view"
  has /reg:64 'HKLM\Software\Wow6432Node\Messenger Plus! 2\Plugins' /v Tavri ||
    fail "the host's entry is not below Wow6432Node"
fi

echo "== the host stand-in lists the plug-in and expands the tag"
list=$(host_list)
echo "$list"
[[ $list == *"(TavriPlugin.plugin)"* ]] || fail "the host does not list the plug-in"
printf 'wow-user\tpw\tplan_name=Basic 10GB Upgrade\\nusage=1234MB\\nplan_limit=3000MB\\n\n' \
  >"$work/accounts"
reportserver_start port --port 47443 --accounts "$work/accounts" --log "$work/requests.log" ||
  exit 1
wine reg add "$TAVRI_SETTINGS_KEY" /v username /d wow-user /f ${ours:+"$ours"} >/dev/null 2>&1 &&
  wine reg add "$TAVRI_SETTINGS_KEY" /v password /d pw /f ${ours:+"$ours"} >/dev/null 2>&1 ||
  fail "the account could not be stored"
chat=$(wine "$host" "My usage this month: (!XTAVRI)" 2>&1 | tr -d '\r')
echo "$chat"
[[ $chat == *"Plan Name:"*"Basic 10GB Upgrade"*"Amount Left:"*"1766 MB"* ]] ||
  fail "the tag was not expanded"

echo "== removing it by the README's steps"
release=$WINEPREFIX/drive_c/users/Public/Downloads/Tavri-1.00
(cd "$release" && wine "$regsvr32" /u /s "$folder\\Tavri.dll") || fail "regsvr32 /u failed"
(cd "$release" && wine "$regedit" /s uninstall.reg) || fail "regedit /s uninstall.reg failed"
rm -f "$plugins/Tavri.dll"
wine reg delete 'HKCU\Software\VB and VBA Program Settings\Tavri Plugin' /f >/dev/null 2>&1 ||
  fail "the stored account could not be removed"
left=$(leftovers)
[ -z "$left" ] || fail "left after the removal: $(tr '\n' ';' <<<"$left")"
list=$(host_list)
echo "$list"
[[ $list == *"plughost: no plug-in could be loaded"* && ${list,,} != *tavri* ]] ||
  fail "the host still lists Tavri, or did not start"

[ "$failures" -eq 0 ] || exit 1
echo "install_remove: installed in $folder and removed completely"
