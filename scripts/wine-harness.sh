# Sourced by every script that runs Tavri's Windows binaries under Wine.
#
#   tavri_wine_start     takes the private prefix in turn, makes it once (a
#                        32-bit one in build/wineprefix;
#                        TAVRI_WINDOWS_VERSION=winxp: one that reports
#                        Windows XP), makes the test certificates
#                        (build/certs) and trusts their CA in the prefix,
#                        starts Xvfb on a free display with Wine's virtual
#                        desktop for all windows. Where no 32-bit program
#                        runs, it runs the 64-bit build instead (below), or
#                        ends the script with status 77 (ctest: skipped).
#   tavri_track PID      stop PID too when the script ends
#   tavri_keep_stored_settings WORK
#                        saves the plug-in's stored settings now; puts them
#                        back and removes the folder WORK when the script ends
#   tavri_winpath PATH   the Windows path of a Linux path
#   TAVRI_SETTINGS_KEY   the registry key of the plug-in's stored settings
#
# Everything started here is stopped by process id when the script exits
# (scripts/on-exit.sh), also when a test fails. Runs take the prefix in turn
# (one wineserver, one virtual desktop): a second run waits for the first
# instead of sharing, or killing, its programs.

TAVRI_ROOT=${TAVRI_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
source "$TAVRI_ROOT/scripts/on-exit.sh"
TAVRI_BUILD=${TAVRI_BUILD:-$TAVRI_ROOT/build}
TAVRI_BIN=${TAVRI_BIN:-$TAVRI_BUILD/win32/bin}
TAVRI_WINE32=${TAVRI_WINE32:-/usr/lib/wine/wine}
TAVRI_WINE64=${TAVRI_WINE64:-/usr/lib/wine/wine64}

# Wine runs a 32-bit Windows program in a 32-bit Linux process, which a kernel
# without 32-bit support (booted with ia32_emulation=off) cannot start. There,
# when Wine's 64-bit loader runs and the 64-bit build of the same sources is
# there (build/win64, scripts/build.sh makes it), everything runs that build
# in the 64-bit prefix (TAVRI_WINDOWS_64BIT_BUILD=1): it proves the code, not
# the 32-bit binaries that ship. A run that asks for the 64-bit prefix itself
# (TAVRI_WINDOWS_ARCH=win64) is about 32-bit programs on 64-bit Windows, and
# needs the 32-bit loader all the same.
if [ -z "${TAVRI_WINDOWS_ARCH:-}${TAVRI_WINEPREFIX:-}" ] && [ -d "$TAVRI_BUILD/win64/bin" ] &&
   ! "$TAVRI_WINE32" --version >/dev/null 2>&1 && "$TAVRI_WINE64" --version >/dev/null 2>&1; then
  export TAVRI_WINDOWS_64BIT_BUILD=1 TAVRI_WINDOWS_ARCH=win64
  TAVRI_BIN=${TAVRI_BIN/#$TAVRI_BUILD\/win32\//$TAVRI_BUILD/win64/}
fi
export TAVRI_BIN

# TAVRI_WINDOWS_ARCH=win64: a 64-bit prefix, where the 32-bit programs run as
# they do on 64-bit Windows (WoW64: the x86 Program Files folder, the 32-bit
# registry view). Its prefix is a separate one (build/wineprefix-win64).
TAVRI_WINDOWS_ARCH=${TAVRI_WINDOWS_ARCH:-win32}
case $TAVRI_WINDOWS_ARCH in
  win32) _tavri_arch_suffix= ;;
  win64) _tavri_arch_suffix=-win64 ;;
  *) echo "harness: TAVRI_WINDOWS_ARCH is win32 or win64, not $TAVRI_WINDOWS_ARCH" >&2; exit 2 ;;
esac
export TAVRI_WINDOWS_ARCH
_tavri_prefix=$TAVRI_BUILD/wineprefix${TAVRI_WINDOWS_VERSION:+-$TAVRI_WINDOWS_VERSION}
export WINEPREFIX=${TAVRI_WINEPREFIX:-$_tavri_prefix$_tavri_arch_suffix}
export WINEARCH=$TAVRI_WINDOWS_ARCH
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install prompts: nothing here needs them.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

_tavri_pids=()
_tavri_xvfb_pid=

# Debian's wine, wineboot, winecfg and winepath start the 32-bit loader
# whenever it is installed, which cannot make or run a 64-bit prefix. For one,
# commands of those names that start the 64-bit loader (package wine64) come
# first in PATH; it hands 32-bit programs to the 32-bit loader beside it.
if [ "$WINEARCH" = win64 ]; then
  _tavri_wine64_bin=$TAVRI_BUILD/wine64-bin
  mkdir -p "$_tavri_wine64_bin"
  for _tavri_tool in wine wineboot winecfg winepath; do
    [ -x "$_tavri_wine64_bin/$_tavri_tool" ] && continue
    _tavri_program=
    [ "$_tavri_tool" = wine ] || _tavri_program="$_tavri_tool.exe "
    printf '#!/bin/sh\nexec "%s" %s"$@"\n' "$TAVRI_WINE64" "$_tavri_program" \
      >"$_tavri_wine64_bin/$_tavri_tool.new"
    chmod +x "$_tavri_wine64_bin/$_tavri_tool.new"
    mv -f "$_tavri_wine64_bin/$_tavri_tool.new" "$_tavri_wine64_bin/$_tavri_tool"
  done
  case ":$PATH:" in
    *":$_tavri_wine64_bin:"*) ;;
    *) export PATH=$_tavri_wine64_bin:$PATH ;;
  esac
fi

tavri_track() { _tavri_pids+=("$1"); }

_tavri_make_prefix() {
  mkdir -p "$TAVRI_BUILD"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.tavri-ready" ]; then
      rm -rf "$WINEPREFIX"
      echo "harness: making the Wine prefix $WINEPREFIX" >&2
      DISPLAY= wineboot -i >/dev/null 2>&1
      # Every window opens on one virtual desktop: fast to close, easy to find.
      DISPLAY= wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
      DISPLAY= wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
      # The Windows version the prefix reports (TAVRI_WINDOWS_VERSION, e.g. winxp).
      # (64-bit Windows XP is winxp64 to Wine.)
      local version=${TAVRI_WINDOWS_VERSION:-}
      [ "$WINEARCH$version" != win64winxp ] || version=winxp64
      [ -z "$version" ] || DISPLAY= wine winecfg -v "$version" >/dev/null 2>&1
      # The host's plug-in folder exists, as on a machine with the host installed.
      mkdir -p "$(tavri_host_plugin_folder)"
      wineserver -w
      touch "$WINEPREFIX/.tavri-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

# Makes the test certificates if missing and trusts their CA inside the
# private prefix only, once per CA.
_tavri_trust_test_ca() {
  "$TAVRI_ROOT/scripts/make-test-certs.sh" "$TAVRI_BUILD/certs" >/dev/null || return 1
  local der=$TAVRI_BUILD/certs/ca.der
  local stamp=$WINEPREFIX/.tavri-ca.sha
  local sum
  sum=$(sha256sum "$der" | cut -d' ' -f1)
  [ "$(cat "$stamp" 2>/dev/null)" = "$sum" ] && return 0
  [ -f "$TAVRI_BIN/trustca.exe" ] || { echo "harness: $TAVRI_BIN/trustca.exe is not built" >&2; return 1; }
  wine "$TAVRI_BIN/trustca.exe" "$(winepath -w "$der")" >&2 && echo "$sum" >"$stamp"
}

_tavri_start_xvfb() {
  local fdfile
  fdfile=$(mktemp)
  # The display must not hold the prefix lock: an orphaned Xvfb would keep
  # every later run waiting.
  if [ -n "${_tavri_lock_fd:-}" ]; then
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" {_tavri_lock_fd}>&- >/dev/null 2>&1 &
  else
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  fi
  _tavri_xvfb_pid=$!
  local i
  for i in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.05
  done
  export DISPLAY=":$(tr -d '\n' <"$fdfile")"
  rm -f "$fdfile"
  [ "$DISPLAY" != ":" ] || { echo "harness: Xvfb did not start" >&2; return 1; }
}

_tavri_lock_prefix() {
  [ -n "${TAVRI_WINE_LOCKED:-}" ] && return 0
  mkdir -p "$TAVRI_BUILD"
  exec {_tavri_lock_fd}>"$WINEPREFIX.run.lock"
  flock -w "${TAVRI_WINE_LOCK_WAIT:-1800}" "$_tavri_lock_fd" ||
    { echo "harness: the Wine prefix stayed busy" >&2; return 1; }
  export TAVRI_WINE_LOCKED=1
}

# A run that needs 32-bit programs where none can start (no 64-bit build to
# run instead, or a run about 32-bit programs themselves) ends with status
# 77, which ctest counts as skipped, not passed. A 64-bit prefix also needs
# the 64-bit loader: without it the run fails.
TAVRI_WINE_UNAVAILABLE=77
_tavri_wine_runs() {
  [ -n "${TAVRI_WINDOWS_64BIT_BUILD:-}" ] && return 0
  if [ "$WINEARCH" = win64 ] && ! "$TAVRI_WINE64" --version >/dev/null 2>&1; then
    echo "harness: a 64-bit prefix needs Wine's 64-bit loader $TAVRI_WINE64" \
      "(package wine64: scripts/install-prereqs.sh)" >&2
    return 2
  fi
  # In a 64-bit prefix `wine` is the 64-bit loader; the 32-bit one is beside it.
  "$TAVRI_WINE32" --version >/dev/null 2>&1 && return 0
  echo "harness: this machine cannot start Wine's 32-bit programs" \
    "($("$TAVRI_WINE32" --version 2>&1 | tail -1)); is the kernel's 32-bit emulation off" \
    "(dmesg: \"32-bit emulation disabled\")? This run needs them." >&2
  return 1
}

tavri_wine_start() {
  local runs=0
  _tavri_wine_runs || runs=$?
  [ "$runs" -ne 1 ] || exit "$TAVRI_WINE_UNAVAILABLE"
  [ "$runs" -eq 0 ] || exit 1
  # Run by a script that has started Wine in this prefix already (the release
  # test runs the demo): its Wine and display serve, and it stops them.
  [ "${TAVRI_WINE_STARTED:-}" = "$WINEPREFIX" ] && [ -n "${DISPLAY:-}" ] && return 0
  tavri_on_exit _tavri_wine_stop
  trap 'exit 130' INT TERM
  _tavri_lock_prefix || return 1
  _tavri_make_prefix
  _tavri_start_xvfb
  _tavri_trust_test_ca || { echo "harness: the test CA could not be trusted in $WINEPREFIX" >&2; return 1; }
  export TAVRI_WINE_STARTED=$WINEPREFIX
  [ -z "${TAVRI_WINDOWS_64BIT_BUILD:-}" ] ||
    echo "harness: no 32-bit program runs on this machine: the 64-bit build of the same" \
      "sources runs instead ($TAVRI_BIN, in $WINEPREFIX)" >&2
}

# Safe under `set -e`: what already ended is no error.
_tavri_wine_stop() {
  local pid
  for pid in "${_tavri_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [ -n "$_tavri_xvfb_pid" ]; then
    kill "$_tavri_xvfb_pid" 2>/dev/null || true
    wait "$_tavri_xvfb_pid" 2>/dev/null || true
    _tavri_xvfb_pid=
  fi
  _tavri_pids=()
}

# Windows path of a Linux path, for arguments of Windows programs.
tavri_winpath() { winepath -w "$1" 2>/dev/null; }

# Data of a REG_SZ value as `wine reg query KEY /v NAME [/reg:32|64]` prints it.
tavri_reg_value() {
  wine reg query "$@" 2>/dev/null | awk -F'REG_SZ' 'NF > 1 { gsub(/^[ \t]+|\r/, "", $2); print $2 }'
}

# The Program Files folder the prefix gives the programs under test (a Windows
# path): for 32-bit ones in a 64-bit prefix the x86 one, read in the 64-bit
# view where both are.
tavri_program_files() {
  local name=ProgramFilesDir
  [ "$WINEARCH" = win64 ] && [ -z "${TAVRI_WINDOWS_64BIT_BUILD:-}" ] && name='ProgramFilesDir (x86)'
  tavri_reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion' /v "$name"
}

# The Linux path of a Windows path on the prefix's drive C:.
tavri_drive_c_path() {
  case $1 in
    [Cc]:\\*) ;;
    *) echo "harness: $1 is not on drive C:" >&2; return 1 ;;
  esac
  local rest=${1:3}
  printf '%s/drive_c/%s\n' "$WINEPREFIX" "${rest//\\//}"
}

# The host's plug-in folder below that Program Files folder ("C:\Program
# Files" when the prefix names none), as a Linux path.
tavri_host_plugin_folder() {
  local folder
  folder=$(tavri_program_files)
  tavri_drive_c_path "${folder:-C:\Program Files}\\Messenger Plus! 2\\Plugins"
}

# The plug-in's stored settings (account name and password) in the prefix.
TAVRI_SETTINGS_KEY='HKCU\Software\VB and VBA Program Settings\Tavri Plugin\Data'

# For scripts that store credentials of their own: exports the stored
# settings now and, when the script exits, puts them back and removes WORK.
tavri_keep_stored_settings() {
  _tavri_settings_work=$1
  _tavri_settings_saved=
  wine reg export "$TAVRI_SETTINGS_KEY" "$(tavri_winpath "$1/saved.reg")" /y >/dev/null 2>&1 &&
    _tavri_settings_saved=1
  tavri_on_exit _tavri_restore_stored_settings
}

_tavri_restore_stored_settings() {
  wine reg delete "$TAVRI_SETTINGS_KEY" /f >/dev/null 2>&1
  [ -n "$_tavri_settings_saved" ] &&
    wine reg import "$(tavri_winpath "$_tavri_settings_work/saved.reg")" >/dev/null 2>&1
  rm -rf "$_tavri_settings_work"
}
