#!/usr/bin/env bash
# The one way tests drive Tavri's Windows binaries under Wine.
#   run.sh [--timeout SECONDS] [--locale LOCALE] TEST.exe [ARGS...]
#   run.sh [--timeout SECONDS] [--locale LOCALE] SCRIPT.sh [ARGS...]
# (default timeout 300 s; LOCALE e.g. ja_JP.UTF-8, compiled into build/locale).
# Around the program: the private prefix and Xvfb (scripts/wine-harness.sh), Tavri.dll
# registered, the stored settings kept and put back, and one report server
# for the whole run on the port the build points at (47443), serving the
# accounts of tests/wine/accounts.txt, with a plain-http port, a port with an
# untrusted certificate and a port that never completes the TLS handshake
# (it drops a connection once the client has been quiet for 2 s), and a link
# stand-in in front of it on a port of its own, which no connection of an
# earlier fetch reaches.
# The program finds them in TAVRI_UNTRUSTED_PORT, TAVRI_SILENT_PORT,
# TAVRI_LINK_PORT and TAVRI_SERVER_LOG (a Windows path).
# TEST.exe, a GoogleTest program, passes only when it ran to its summary and
# ran at least one test. Everything started here is stopped, and the work folder
# removed, when the run ends. Exit status: the program's; 2 for a wrong call;
# 77 (skipped) on a machine that cannot run Wine's 32-bit programs.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
usage() { sed -n '3,5p' "$0" | sed 's/^# \{0,1\}/usage: /' >&2; exit 2; }

limit=300 locale=
while :; do
  case ${1:-} in
    --timeout) [ $# -ge 2 ] || usage; limit=$2; shift 2 ;;
    --locale) [ $# -ge 2 ] || usage; locale=$2; shift 2 ;;
    -*) usage ;;
    *) break ;;
  esac
done
case ${1:-} in
  *.exe | *.sh) [ -f "$1" ] || { echo "run.sh: $1 does not exist" >&2; exit 2; } ;;
  *) usage ;;
esac
set -- "$(realpath "$1")" "${@:2}"
source "$here/../../scripts/wine-harness.sh"
# The 64-bit build of the same program, where that is what runs.
[ -z "${TAVRI_WINDOWS_64BIT_BUILD:-}" ] || set -- "${1/#$TAVRI_BUILD\/win32\//$TAVRI_BUILD/win64/}" "${@:2}"

tavri_wine_start || exit 1
work=$(mktemp -d /tmp/tavri-wine.XXXXXX)
tavri_keep_stored_settings "$work"
source "$TAVRI_ROOT/scripts/reportserver.sh"

# Bodies that are easier to make than to write down.
perl -e 'print "\x80\xE9\x9F\xA0\xFF\x96" x 17000, "usage=5MB\r\n"' >"$work/letters1252.bin"
perl -e 'print "x", "\x82\xA0" x 5000, "usage=5MB\r\n"' >"$work/letters932.bin"
cp "$here/accounts.txt" "$work/accounts.txt"

reportserver_start SERVER --port 47443 --http-port 0 --silent-port 0 --silent-hold-ms 2000 --untrusted-port 0 \
  --untrusted-cert "$REPORTSERVER_CERTS/bad.pem" --untrusted-key "$REPORTSERVER_CERTS/bad.key" \
  --accounts "$work/accounts.txt" --log "$work/requests.log" || exit 1
linkrelay_start LINK --to "$SERVER" --log "$work/link.log" || exit 1
export TAVRI_UNTRUSTED_PORT=$SERVER_UNTRUSTED TAVRI_SILENT_PORT=$SERVER_SILENT TAVRI_LINK_PORT=$LINK
TAVRI_SERVER_LOG=$(tavri_winpath "$work/requests.log")
export TAVRI_SERVER_LOG

wine regsvr32 /s "$(tavri_winpath "$TAVRI_BIN/Tavri.dll")" ||
  { echo "run.sh: regsvr32 Tavri.dll failed" >&2; exit 1; }

if [ -n "$locale" ]; then  # compiled into the build tree once; the code page is read when wineserver starts
  export LOCPATH=$TAVRI_BUILD/locale LC_ALL=$locale
  [ -d "$LOCPATH/$locale" ] || { mkdir -p "$LOCPATH" && localedef -i "${locale%%.*}" -f "${locale#*.}" "$LOCPATH/$locale"; } ||
    { echo "run.sh: cannot compile the locale $locale (package locales)" >&2; exit 1; }
  wineserver -k; wineserver -w
fi

case $1 in
  *.sh) timeout -k 5 "$limit" bash "$@"; rc=$? ;;
  *)
    timeout -k 5 "$limit" wine "$@" 2>&1 | tee "$work/output"
    rc=${PIPESTATUS[0]}
    if [ "$rc" -eq 0 ] && ! grep -q '^\[  PASSED  \] [1-9]' "$work/output"; then
      echo "run.sh: $(basename "$1") ran no test, or ended before its summary" >&2
      rc=1
    fi ;;
esac
[ "$rc" -eq 124 ] && echo "run.sh: $* did not finish within ${limit}s" >&2
exit "$rc"
