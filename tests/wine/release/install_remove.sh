#!/usr/bin/env bash
# The release zip installed, used and removed as a user would, in the prefix
# the harness picks (TAVRI_WINDOWS_ARCH=win64: 64-bit Windows).
#   install_remove.sh FOLDER [PROGRAM_FILES]
# FOLDER: the Windows folder the plug-in file must land in. PROGRAM_FILES (a
# 32-bit prefix only): the Program Files folder the prefix names before the
# install (ProgramFilesDir), as Windows in another language or on another
# drive does.
#   1. scripts/demo.sh in this prefix: Install.exe from the unzipped release,
#      the credentials typed into the settings window, (!XTAVRI) expanded by
#      the 32-bit host stand-in, which finds the plug-in only through its list
#      entry in the registry view it reads.
#   2. The class is registered from the file in FOLDER; on 64-bit Windows
#      neither the host's entry nor the class is in the 64-bit view.
#   3. The README's removal steps that are Windows': regsvr32 /u and regedit
#      /s uninstall.reg, both the system's 32-bit ones by full path. Then no
#      registry view holds anything the install added (the host finds
#      plug-ins only through its list).
# Exit code 0 when every check held, 1 otherwise, 2 for a usage problem.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../../scripts/wine-harness.sh"

if [ $# -lt 1 ] || [ $# -gt 2 ] || { [ $# -eq 2 ] && [ "$WINEARCH" != win32 ]; }; then
  echo "usage: install_remove.sh FOLDER [PROGRAM_FILES (a 32-bit prefix only)]" >&2
  exit 2
fi
folder=$1
program_files=${2:-}
host_key='HKLM\SOFTWARE\Messenger Plus! 2\Plugins'
class_key='HKCR\CLSID\{7B4133D8-196A-4826-99B6-F8A0BC5A95F5}'
# What the install adds to the registry besides the host's list entry (a
# value; the key is the host's own): the class, its name, type library and
# interface.
added_keys=(
  "$class_key"
  'HKCR\TavriPlugin.plugin'
  'HKCR\TypeLib\{2E7AD169-9528-40B8-AE1C-72D6C464036E}'
  'HKCR\Interface\{18BE9D04-6059-41A1-A03E-3F9952C850A8}'
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
# in_each_view VERB [ARGS]: `wine reg VERB` on everything the install adds,
# in each view; one line for each it succeeded on.
in_each_view() {
  local view key
  for view in "${views[@]}"; do
    wine reg "$1" "$host_key" /v Tavri "${@:2}" ${view:+"$view"} >/dev/null 2>&1 &&
      echo "the host's entry Tavri $view"
    for key in "${added_keys[@]}"; do
      wine reg "$1" "$key" "${@:2}" ${view:+"$view"} >/dev/null 2>&1 && echo "$key $view"
    done
  done
}

tavri_wine_start
[ -z "$program_files" ] ||
  wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion' /v ProgramFilesDir \
    /d "$program_files" /f >/dev/null 2>&1 ||
  { echo "install_remove: ProgramFilesDir not set" >&2; exit 1; }
plugins=$(tavri_drive_c_path "$folder") || exit 2
# A machine with the host installed (its list key exists) and nothing of an
# earlier run left (a failed one may not have removed it).
wine reg add "$host_key" /f ${ours:+"$ours"} >/dev/null 2>&1
in_each_view delete /f >/dev/null
rm -f "$plugins/Tavri.dll"

echo "== the demo in $WINEPREFIX ($WINEARCH)"
"$TAVRI_ROOT/scripts/demo.sh" || fail "the demo failed"
server=$(tavri_reg_value "$class_key\\InprocServer32" /ve ${ours:+"$ours"} | tr / '\\')
[ "${server,,}" = "${folder,,}\\tavri.dll" ] && [ -f "$plugins/Tavri.dll" ] ||
  fail "the class is registered from \"$server\", not from a file in $folder"
if [ "$WINEARCH" = win64 ]; then
  wine reg query "$host_key" /v Tavri /reg:64 >/dev/null 2>&1 &&
    fail "the host's entry is in the 64-bit view"
  wine reg query "$class_key" /reg:64 >/dev/null 2>&1 && fail "the class is registered in the 64-bit view"
fi

echo "== removing it by the README's steps"
release=$WINEPREFIX/drive_c/users/Public/Downloads/Tavri-1.00
(cd "$release" && wine "$regsvr32" /u /s "$folder\\Tavri.dll") || fail "regsvr32 /u failed"
(cd "$release" && wine "$regedit" /s uninstall.reg) || fail "regedit /s uninstall.reg failed"
left=$(in_each_view query)
[ -z "$left" ] || fail "left after the removal: $(tr '\n' ';' <<<"$left")"
listed=$(wine "$TAVRI_BIN/plughost.exe" --list 2>&1)
[[ ${listed,,} != *tavri* ]] || fail "the host still lists Tavri: $listed"

[ "$failures" -eq 0 ] || exit 1
echo "install_remove: installed in $folder, used and removed completely"
