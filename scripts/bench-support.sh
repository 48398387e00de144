# Sourced by the benchmark scripts (scripts/bench*.sh): what they share, on
# top of the Wine harness (scripts/wine-harness.sh, sourced here).
#
#   tavri_bench_on_one_processor "$0" "$@"
#                        re-runs the calling script on one processor (below)
#   tavri_bench_processors
#                        prints where the figures were measured
#   tavri_bench_account  Tavri.dll registered, the account "bench" stored

source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-harness.sh"

# Benchmarks run everything (Wine's server, the report server, the programs)
# on one processor. On a virtual machine, waking a thread on another, idle
# processor can take longer than a whole loopback fetch, and which processor
# the scheduler gives each thread changes from one run to the next: the same
# five plain fetches took 1.8 ms in one run and 9 ms in the next, so a figure
# and its baseline measured across processors do not compare. Re-runs the
# calling script (its "$0" "$@") pinned, unless it already is or
# TAVRI_BENCH_ALL_PROCESSORS is set.
tavri_bench_on_one_processor() {
  [ -n "${TAVRI_BENCH_ALL_PROCESSORS:-}${TAVRI_BENCH_PROCESSOR:-}" ] && return 0
  TAVRI_BENCH_PROCESSOR=$(taskset -cp $$ 2>/dev/null | sed 's/.*: *//; s/[-,].*//')
  [ -n "$TAVRI_BENCH_PROCESSOR" ] || return 0
  export TAVRI_BENCH_PROCESSOR
  exec taskset -c "$TAVRI_BENCH_PROCESSOR" "$@"
}
# For the benchmarks: Tavri.dll registered, and the account "bench" with the
# password "pw" stored (keep the stored settings first).
tavri_bench_account() {
  wine regsvr32 /s "$(tavri_winpath "$TAVRI_BIN/Tavri.dll")" ||
    { echo "$(basename "$0"): regsvr32 Tavri.dll failed" >&2; return 1; }
  wine reg add "$TAVRI_SETTINGS_KEY" /v username /d bench /f >/dev/null 2>&1 &&
    wine reg add "$TAVRI_SETTINGS_KEY" /v password /d pw /f >/dev/null 2>&1
}
tavri_bench_processors() {
  if [ -n "${TAVRI_BENCH_PROCESSOR:-}" ]; then
    echo "(everything on processor $TAVRI_BENCH_PROCESSOR; TAVRI_BENCH_ALL_PROCESSORS=1 runs on all)"
  else
    echo "(on all processors: figures vary with where the scheduler puts each thread)"
  fi
}
