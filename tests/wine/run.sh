#!/usr/bin/env bash
# Runs one Windows test program (or any command) under Wine with the harness
# around it, with a time limit, and returns its exit code.
#   run.sh [--timeout SECONDS] PROGRAM.exe [ARGS...]
#   run.sh [--timeout SECONDS] --script SCRIPT.sh [ARGS...]
set -u
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

limit=300
if [ "${1:-}" = "--timeout" ]; then limit=$2; shift 2; fi

tavri_wine_start || exit 1
if [ "${1:-}" = "--script" ]; then
  shift
  timeout -k 5 "$limit" bash "$@"
else
  timeout -k 5 "$limit" wine "$@"
fi
rc=$?
[ $rc -eq 124 ] && echo "run.sh: $* did not finish within ${limit}s" >&2
exit $rc
