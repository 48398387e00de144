#!/usr/bin/env bash
# The statistics tag under Wine (run through tests/wine/run.sh, which has
# started Xvfb and the prefix). Registers Tavri.dll, asks tag_test.exe which
# reports each test expects, then runs every test alone against its own report
# server on the port the plug-in is built for, serving that test's reports in
# order and logging its requests.
#   tag.sh [TEST-GLOB]     e.g. tag.sh 'TagPrompt.*'
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
bin=${TAVRI_BIN:-$root/build/win32/bin}
port=${TAVRI_TAG_PORT:-47443}
work=$(mktemp -d /tmp/tavri-tag.XXXXXX)
winpath() { winepath -w "$1" 2>/dev/null; }

source "$root/tests/wine/harness.sh"
tavri_keep_stored_settings "$work"

wine regsvr32 /s "$(winpath "$bin/Tavri.dll")" || { echo "tag.sh: regsvr32 Tavri.dll failed" >&2; exit 1; }
wine "$bin/tag_test.exe" --write-server-setups "$(winpath "$work")" ||
  { echo "tag.sh: tag_test.exe wrote no server setups" >&2; exit 1; }

# One test against one fresh server. The server and the lock on its port live
# in a subshell, so both are gone when the test is.
run_one() {
  local dir=$1 test=$2
  (
    source "$root/scripts/reportserver.sh"
    mapfile -t extra <"$dir/server-args"
    reportserver_start PORT --port "$port" --sequence "$dir/bodies" --log "$dir/requests.log" \
      "${extra[@]}" || exit 1
    export TAVRI_TAG_LOG
    TAVRI_TAG_LOG=$(winpath "$dir/requests.log")
    wine "$bin/tag_test.exe" --gtest_filter="$test" 2>&1 | tee "$dir/output"
    [ "${PIPESTATUS[0]}" -eq 0 ] && grep -q '^\[  PASSED  \] 1 test\.' "$dir/output"
  )
}

glob=${1:-*}
ran=0
failed=()
for dir in "$work"/*/; do
  dir=${dir%/}
  test=$(basename "$dir")
  # shellcheck disable=SC2254
  case $test in $glob) ;; *) continue ;; esac
  ran=$((ran + 1))
  run_one "$dir" "$test" || failed+=("$test")
done

echo "tag.sh: $ran tests, ${#failed[@]} failed${failed:+: ${failed[*]}}"
[ "$ran" -gt 0 ] && [ ${#failed[@]} -eq 0 ]
