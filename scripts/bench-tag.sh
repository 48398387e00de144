#!/usr/bin/env bash
# Benchmarks of the statistics tag under Wine, against the report server
# stand-in on the port the plug-in is built for (47443), serving one report:
#   1. one expansion of "(!XTAVRI)" against five plain WinINet fetches of the
#      same report, interleaved in the same run (target ratio <= 1.25), with one
#      plain fetch's time and the TCP connections five plain fetches and one
#      expansion open (1 when connections are kept alive, 5 when not); then
#      the same against a server that takes --delay-ms to answer, as a
#      provider across the internet does (target ratio <= 1.02)
#   2. the soak: COUNT expansions in one host process, with its handle count
#      and private bytes from start to end
#
#   scripts/bench-tag.sh [--rounds N] [--delay-ms MS] [--soak COUNT]
#                        [--soak-only] [--max-growth HANDLES KIB]
# --max-growth makes the soak fail (exit 3) when it grows more than that.
# Needs both builds (scripts/build.sh). Everything runs on one processor
# (see tavri_bench_on_one_processor in bench-support.sh). Exit status 0 when
# every target is met.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
export TAVRI_NATIVE_BIN=${TAVRI_NATIVE_BIN:-$root/build/native}

source "$root/scripts/bench-support.sh"
if [ "${1:-}" != "--inside-wine" ]; then
  tavri_bench_on_one_processor "$0" "$@"
  tavri_bench_processors
  exec timeout -k 5 1800 "$0" --inside-wine "$@"
fi
shift

rounds=40 delay=20 soak=1000 compare=1 growth=()
while [ $# -gt 0 ]; do
  case $1 in
    --rounds) rounds=$2; shift 2 ;;
    --delay-ms) delay=$2; shift 2 ;;
    --soak) soak=$2; shift 2 ;;
    --soak-only) compare=; shift ;;
    --max-growth) growth=("$2" "$3"); shift 3 ;;
    *) echo "bench-tag: unknown argument $1" >&2; exit 2 ;;
  esac
done

# From here on under the Wine harness.
bin=${TAVRI_BIN:-$root/build/win32/bin}
port=${TAVRI_TAG_PORT:-47443}
work=$(mktemp -d /tmp/tavri-bench-tag.XXXXXX)

# Not tests/wine/run.sh: its report server would hold the plug-in's port.
tavri_wine_start || exit 1
tavri_keep_stored_settings "$work"
tavri_bench_account || exit 1
printf 'account=bench\r\nplan_name=Basic 10GB Upgrade\r\nusage=1234MB\r\nplan_limit=3000MB\r\n' >"$work/report.txt"
url="https://localhost:$port/mydatamonitor/usage.txt?username=bench&password=pw"

# Runs a command while a report server serves the report with the further
# switches in $server_args. The server and the lock on its port live in a
# subshell, so both are gone when the command is.
with_server() {
  (
    source "$root/scripts/reportserver.sh"
    reportserver_start PORT --port "$port" --body "$work/report.txt" --log "$work/requests.log" \
      "${server_args[@]}" || exit 1
    "$@"
  )
}

# TCP connections accepted on this machine (the kernel's PassiveOpens).
passive_opens() {
  awk '/^Tcp:/ { if (!n) { for (i = 1; i <= NF; i++) if ($i == "PassiveOpens") col = i; n = 1 }
                 else print $col }' /proc/net/snmp
}
# Requests and connections of a command at the server: the fewest connections
# of three runs, as other programs on this machine may accept some meanwhile.
count_connections() {
  local label=$1 fewest= before after requests i
  shift
  requests=$(wc -l <"$work/requests.log")
  for i in 1 2 3; do
    before=$(passive_opens)
    "$@" >/dev/null || return 1
    after=$(passive_opens)
    if [ -z "$fewest" ] || [ $((after - before)) -lt "$fewest" ]; then fewest=$((after - before)); fi
  done
  requests=$((($(wc -l <"$work/requests.log") - requests) / 3))
  printf '  %-29s %d requests over %d TCP connection(s)\n' "$label" "$requests" "$fewest"
}

compare() {
  wine "$bin/tag_bench.exe" compare "$url" "$rounds"
  local rc=$?
  count_connections "five plain fetches:" wine "$bin/tag_bench.exe" probe fetches "$url" || rc=1
  count_connections "one expansion:" wine "$bin/tag_bench.exe" probe expansion || rc=1
  return $rc
}

rc=0
if [ -n "$compare" ]; then
  server_args=()
  with_server compare || rc=$?
  echo
  if [ "$delay" -gt 0 ]; then
    echo "the same against a server that takes $delay ms to answer each request:"
    server_args=(--delay-ms "$delay")
    with_server wine "$bin/tag_bench.exe" compare "$url" $((rounds / 2)) 1.02 >"$work/delayed.txt" || rc=$?
    grep -v '^statistics tag' "$work/delayed.txt"
    echo
  fi
fi
server_args=()
with_server wine "$bin/tag_bench.exe" soak "$soak" "${growth[@]}" || rc=$?
exit $rc
