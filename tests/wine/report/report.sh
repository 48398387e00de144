#!/usr/bin/env bash
# The report methods of Tavri.dll under Wine (run through tests/wine/run.sh,
# which has started Xvfb and the prefix). Registers the plug-in, then runs
# every test of report_test.exe in its own process (the component loads the
# stored credentials when it starts), with the report server its suite needs
# on the port the plug-in is built for.
#   report.sh [TEST-GLOB]     e.g. report.sh 'ReportPrompt.*'
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
bin=${TAVRI_BIN:-$root/build/win32/bin}
port=${TAVRI_REPORT_PORT:-47443}
work=$(mktemp -d /tmp/tavri-report.XXXXXX)
trap 'rm -rf "$work"' EXIT

winpath() { winepath -w "$1" 2>/dev/null; }

wine regsvr32 /s "$(winpath "$bin/Tavri.dll")" || { echo "report.sh: regsvr32 Tavri.dll failed" >&2; exit 1; }
wine "$bin/report_test.exe" --write-accounts "$(winpath "$work")" ||
  { echo "report.sh: report_test.exe wrote no accounts" >&2; exit 1; }
mkdir -p "${TAVRI_ARTIFACTS:-$root/build/artifacts}"
TAVRI_ARTIFACTS=$(winpath "${TAVRI_ARTIFACTS:-$root/build/artifacts}")
export TAVRI_ARTIFACTS

# Starts what SUITE needs; runs in the subshell of run_suite.
serve_suite() {
  local certs=${REPORTSERVER_CERTS:-$root/build/certs}
  local log=$1/requests.log plain=$1/plain.log
  touch "$log" "$plain"
  export TAVRI_REPORT_LOG TAVRI_PLAIN_LOG
  TAVRI_REPORT_LOG=$(winpath "$log")
  TAVRI_PLAIN_LOG=$(winpath "$plain")
  case $2 in
    ReportServerDown) reportserver_reserve_port "$port" ;;
    ReportServerStalled) reportserver_start PORT --port "$port" --stall --log "$log" ;;
    ReportBadCertificate)
      "$root/scripts/make-test-certs.sh" >/dev/null &&
        reportserver_start PORT --port "$port" --cert "$certs/bad.pem" --key "$certs/bad.key" --log "$log" ;;
    ReportRedirectToHttp)
      reportserver_start PLAIN --port 0 --http-port 0 --accounts "$work/accounts.txt" --log "$plain" &&
        reportserver_start PORT --port "$port" --log "$log" \
          --redirect-http "http://localhost:$PLAIN_HTTP/mydatamonitor/usage.txt?username=figures&password=pw" ;;
    *) reportserver_start PORT --port "$port" --accounts "$work/accounts.txt" --log "$log" ;;
  esac
}

# One suite: its server(s) for all its tests, each test in its own process.
run_suite() {
  local suite=$1; shift
  (
    source "$root/scripts/reportserver.sh"
    mkdir -p "$work/$suite"
    serve_suite "$work/$suite" "$suite" || exit 1
    failed=0
    for test in "$@"; do
      wine "$bin/report_test.exe" --gtest_filter="$suite.$test" 2>&1 | tee "$work/$suite/output"
      [ "${PIPESTATUS[0]}" -eq 0 ] && grep -q '^\[  PASSED  \] 1 test\.' "$work/$suite/output" ||
        { echo "report.sh: FAILED $suite.$test"; failed=1; }
    done
    exit $failed
  )
}

glob=${1:-*}
declare -A tests=()
suite=
while IFS= read -r line; do
  line=${line%$'\r'}
  case $line in
    "  "*) name=${line#  }; name=${name%% *}
           # shellcheck disable=SC2254
           case $suite.$name in $glob) tests[$suite]+="$name " ;; esac ;;
    *.) suite=${line%.} ;;
  esac
done < <(wine "$bin/report_test.exe" --gtest_list_tests 2>/dev/null)

[ ${#tests[@]} -gt 0 ] || { echo "report.sh: no test matches $glob" >&2; exit 1; }
rc=0
for suite in "${!tests[@]}"; do
  # shellcheck disable=SC2086
  run_suite "$suite" ${tests[$suite]} || rc=1
done
exit $rc
