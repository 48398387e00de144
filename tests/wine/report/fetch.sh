#!/usr/bin/env bash
# GetSource against the report server stand-in: one server per behaviour,
# then fetch_test.exe under Wine (run through tests/wine/run.sh, which has
# started Xvfb and the prefix). The double-byte case runs a second time under
# the Japanese code page, from a locale compiled into the build tree.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../../scripts/reportserver.sh"
bin=${TAVRI_BIN:-$(cd "$here/../../.." && pwd)/build/win32/bin}
work=$(mktemp -d /tmp/tavri-fetch.XXXXXX)
trap 'reportserver_stop_all; rm -rf "$work"' EXIT

winpath() { winepath -w "$1" 2>/dev/null; }

wine "$bin/fetch_test.exe" --write-bodies "$(winpath "$work")" || { echo "fetch.sh: bodies not written" >&2; exit 1; }
printf '%s\n' \
  $'agent\tpw\tusage=1MB\\r\\n' \
  $'boundary\tpw\t@boundary.bin' \
  $'split932\tpw\t@split932.bin' \
  $'huge\tpw\t@huge.bin' >"$work/accounts"
printf 'error=internal\r\n' >"$work/error.txt"

certs=$REPORTSERVER_CERTS
start() { reportserver_start "$@" || exit 1; }
start MAIN --port 0 --accounts "$work/accounts" --log "$work/main.log"
start PLAIN --port 0 --http-port 0 --accounts "$work/accounts" --log "$work/plain.log"
start REDIRECT_HTTP --port 0 \
  --redirect-http "http://localhost:$PLAIN_HTTP/mydatamonitor/usage.txt?username=agent&password=pw"
start REDIRECT_HTTPS --port 0 \
  --redirect "https://localhost:$MAIN/mydatamonitor/usage.txt?username=agent&password=pw"
start BADCERT --port 0 --cert "$certs/bad.pem" --key "$certs/bad.key" --log "$work/badcert.log"
start STALL --port 0 --stall
start TRICKLE --port 0 --trickle-ms 100 --body-size 4K
start DROP --port 0 --drop
start CUT --port 0 --drop-after 1000 --body-size 5000
start ENDLESS --port 0 --endless
start STATUS500 --port 0 --status 500 --body "$work/error.txt"
DOWN=$(reportserver_closed_port)

for name in MAIN PLAIN REDIRECT_HTTP REDIRECT_HTTPS BADCERT STALL TRICKLE DROP CUT ENDLESS STATUS500 DOWN; do
  export "TAVRI_$name=https://localhost:${!name}"
done
touch "$work/main.log" "$work/plain.log" "$work/badcert.log"
export TAVRI_MAIN_LOG=$(winpath "$work/main.log")
export TAVRI_PLAIN_LOG=$(winpath "$work/plain.log")
export TAVRI_BADCERT_LOG=$(winpath "$work/badcert.log")

wine "$bin/fetch_test.exe" "$@"
rc=$?

locales=${TAVRI_BUILD:-$here/../../../build}/locale
if [ ! -d "$locales/ja_JP.UTF-8" ]; then
  mkdir -p "$locales"
  localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8" >/dev/null 2>&1 ||
    { echo "fetch.sh: cannot compile the ja_JP locale (package locales)" >&2; exit 1; }
fi
LOCPATH=$locales LC_ALL=ja_JP.UTF-8 wine "$bin/fetch_test.exe" --gtest_filter='FetchBody.DoubleByte*' || rc=1
# Back to the default locale, so the prefix's regional settings are as before.
wine cmd /c exit 0
exit $rc
