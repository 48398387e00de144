#!/usr/bin/env bash
# Runs the benchmarks and prints their figures, each with its baseline timed
# in the same run:
#   1. the report server stand-in: one loopback request (native)
#   2. under Wine: one `usage` call of Tavri.dll against one plain WinINet
#      fetch of the same report (target ratio <= 1.25)
#   3. under Wine: an 8 MiB report through GetSource against a plain read loop
#      of the same body (target ratio <= 1.5)
#   4. under Wine: the longest a message sent to the fetching thread waits
#      during a fetch whose answer takes 2 s (target <= 50 ms)
# Needs both builds (scripts/build.sh). Everything runs on one processor
# (see tavri_bench_on_one_processor in bench-support.sh). Exit status 0 when
# every ratio meets its target.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
native=${TAVRI_NATIVE_BIN:-$root/build/native}
export TAVRI_NATIVE_BIN=$native
source "$root/scripts/bench-support.sh"

if [ "${1:-}" != "--inside-wine" ]; then
  tavri_bench_on_one_processor "$0" "$@"
  tavri_bench_processors
  (
    source "$root/scripts/reportserver.sh"
    reportserver_start PORT --port 0 --http-port 0 || exit 1
    "$native/bench/reportserver_latency" "$PORT" "$PORT_HTTP" 500
  ) || exit 1
  echo
  exec timeout -k 5 900 "$0" --inside-wine
fi

# From here on under the Wine harness (not tests/wine/run.sh: its report
# server would hold the port the plug-in is built for).
tavri_wine_start || exit 1
source "$root/scripts/reportserver.sh"
bin=${TAVRI_BIN:-$root/build/win32/bin}
work=$(mktemp -d /tmp/tavri-bench.XXXXXX)
tavri_keep_stored_settings "$work"
tavri_bench_account || exit 1
printf 'bench\tpw\taccount=bench\\r\\nplan_name=Basic 10GB Upgrade\\r\\nusage=1234MB\\r\\nplan_limit=3000MB\\r\\n\n' >"$work/accounts"

rc=0
reportserver_start PORT --accounts "$work/accounts" || exit 1
wine "$bin/fetch_bench.exe" usage "https://localhost:$PORT/mydatamonitor/usage.txt?username=bench&password=pw" || rc=1
echo
reportserver_start BIG --port 0 --body-size 8M || exit 1
wine "$bin/fetch_bench.exe" size "https://localhost:$BIG/mydatamonitor/usage.txt?username=bench&password=pw" || rc=1
echo
reportserver_start SLOW --port 0 --delay-ms 2000 || exit 1
wine "$bin/fetch_bench.exe" stretch "https://localhost:$SLOW/mydatamonitor/usage.txt?username=bench&password=pw" || rc=1
exit $rc
