#!/usr/bin/env bash
# The statistics tag over a slow link, in round trips: linkrelay in front of
# the report server on the plug-in's port (47443), at a 50 ms and a 600 ms
# round trip, with the idle connection between tags kept (target <= 6 round
# trips: five requests in a row), closed by the server (<= 9.5: a new TCP and
# TLS connection first) and silently forgotten (<= the fetch's 2 s wait for
# a dead connection plus 9.5); with the requests the server saw and the
# connections the link carried.
#   scripts/bench-link.sh [--rounds N]     (default 5 at 50 ms, 3 at 600 ms)
# Needs both builds (scripts/build.sh). Everything runs on one processor (see
# scripts/bench-support.sh). Exit status 0 when every target is met.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
export TAVRI_NATIVE_BIN=${TAVRI_NATIVE_BIN:-$root/build/native}
rounds=
case ${1:-} in
  --rounds) rounds=$2 ;;
  "") ;;
  *) echo "usage: scripts/bench-link.sh [--rounds N]" >&2; exit 2 ;;
esac

source "$root/scripts/bench-support.sh"
tavri_bench_on_one_processor "$0" "$@"
tavri_bench_processors
tavri_wine_start || exit 1
work=$(mktemp -d /tmp/tavri-bench-link.XXXXXX)
tavri_keep_stored_settings "$work"
tavri_bench_account || exit 1
printf 'bench\tpw\tplan_name=Basic 10GB Upgrade\\r\\nusage=1234MB\\r\\nplan_limit=3000MB\\r\\n\n' \
  >"$work/accounts"
wait_ms=2000 gap_ms=1500

echo "statistics tag over a link stand-in: one expansion after ${gap_ms} ms of quiet"
rc=0
for rtt in 50 600; do
  n=${rounds:-$((rtt < 100 ? 5 : 3))}
  for idle in keep close forget; do
    case $idle in
      keep) target=6 ;;
      close) target=9.5 ;;
      forget) target=$(awk -v w="$wait_ms" -v r="$rtt" 'BEGIN { printf "%.2f", w / r + 9.5 }') ;;
    esac
    printf '  %4d ms round trip, idle connection %-7s' "$rtt" "$idle:"
    (
      source "$root/scripts/reportserver.sh"
      reportserver_start SERVER --port 0 --accounts "$work/accounts" --log "$work/requests" &&
        linkrelay_start LINK --port 47443 --to "$SERVER" --rtt-ms "$rtt" --idle "$idle" \
          --idle-after-ms 1000 --log "$work/link" || exit 1
      wine "$TAVRI_BIN/tag_bench.exe" link "$rtt" "$n" "$gap_ms" "$target"
    ) || rc=1
    printf '; %d requests over %d connection(s) for %d expansions\n' \
      "$(grep -c . "$work/requests")" "$(grep -c ' opened$' "$work/link")" $((n + 1))
    rm -f "$work/requests" "$work/link"
  done
done
exit $rc
