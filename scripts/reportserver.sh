#!/usr/bin/env bash
# The report server stand-in for tests and the demo, and the link stand-in
# that tests and benchmarks put in front of it.
#
# Sourced, it gives:
#   reportserver_start VAR [ARGS...]   starts build/native/reportserver/reportserver
#       in the background with the test certificate (made if missing: the
#       Wine harness's tavri_wine_start makes it and trusts its CA), port
#       47443 unless ARGS has --port; waits (bounded) until it listens and
#       sets VAR to its HTTPS port (VAR_HTTP, VAR_UNTRUSTED, VAR_SILENT to its
#       other ports, if any). A fixed port is taken under a lock, so
#       concurrent test runs queue.
#   linkrelay_start VAR [ARGS...]     starts build/native/linkrelay/linkrelay
#       the same way (a free port unless ARGS has --port; linkrelay's header
#       lists the ARGS) and sets VAR to its port.
# Every server started here is stopped, and its port's lock let go, when the
# sourcing script (or subshell) exits (scripts/on-exit.sh).
#
# Run directly, it serves in the foreground: scripts/reportserver.sh [ARGS...]
# (Ctrl-C stops it). reportserver --help lists the ARGS.

_rs_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
_rs_build=${TAVRI_BUILD:-$_rs_root/build}
REPORTSERVER=${REPORTSERVER:-${TAVRI_NATIVE_BIN:-$_rs_build/native}/reportserver/reportserver}
LINKRELAY=${LINKRELAY:-${TAVRI_NATIVE_BIN:-$_rs_build/native}/linkrelay/linkrelay}
REPORTSERVER_CERTS=${REPORTSERVER_CERTS:-$_rs_build/certs}
source "$_rs_root/scripts/on-exit.sh"
_rs_pids=()
_rs_lockfds=()
_rs_dir=

# Safe under `set -e`: a server that already ended, or the signal status
# that `wait` reports, is no error.
_rs_stop_all() {
  local pid
  for pid in "${_rs_pids[@]}"; do
    { kill "$pid" && wait "$pid"; } 2>/dev/null || true
  done
  _rs_pids=()
  local fd
  for fd in "${_rs_lockfds[@]}"; do exec {fd}>&-; done
  _rs_lockfds=()
  [ -n "$_rs_dir" ] && rm -rf "$_rs_dir"
  _rs_dir=
}

reportserver_start() {
  local var=$1; shift
  [ -x "$REPORTSERVER" ] || { echo "reportserver: $REPORTSERVER is not built" >&2; return 1; }
  "$_rs_root/scripts/make-test-certs.sh" "$REPORTSERVER_CERTS" >/dev/null || return 1
  [ -n "$_rs_dir" ] || _rs_dir=$(mktemp -d /tmp/reportserver.XXXXXX)

  local args=("$@") port=47443 i
  for ((i = 0; i < ${#args[@]}; i++)); do
    [ "${args[i]}" = "--port" ] && port=${args[i + 1]}
  done
  local has_cert=
  for i in "${args[@]}"; do [ "$i" = "--cert" ] && has_cert=1; done
  [ -n "$has_cert" ] || args+=(--cert "$REPORTSERVER_CERTS/server.pem" --key "$REPORTSERVER_CERTS/server.key")
  printf '%s\n' "${args[@]}" | grep -qx -- --port || args+=(--port "$port")

  _rs_launch "$var" "$port" "$REPORTSERVER" "${args[@]}"
}

linkrelay_start() {
  local var=$1 port=0 i; shift
  [ -x "$LINKRELAY" ] || { echo "linkrelay: $LINKRELAY is not built" >&2; return 1; }
  [ -n "$_rs_dir" ] || _rs_dir=$(mktemp -d /tmp/reportserver.XXXXXX)
  local args=("$@")
  for ((i = 0; i < ${#args[@]}; i++)); do
    [ "${args[i]}" = "--port" ] && port=${args[i + 1]}
  done
  _rs_launch "$var" "$port" "$LINKRELAY" "$@"
}

# _rs_launch VAR PORT COMMAND...: takes PORT's lock (unless 0), starts
# COMMAND, and waits until it says where it listens.
_rs_launch() {
  local var=$1 port=$2 i; shift 2
  if [ "$port" != 0 ]; then
    local lockfd
    exec {lockfd}>"$_rs_build/port-$port.lock"
    flock -w 600 "$lockfd" ||
      { echo "$(basename "$1"): port $port stayed busy" >&2; exec {lockfd}>&-; return 1; }
    _rs_lockfds+=("$lockfd")
  fi

  local out=$_rs_dir/out.$RANDOM.$RANDOM
  "$@" >"$out" 2>&1 &
  local pid=$!
  _rs_pids+=("$pid")
  for i in $(seq 1 200); do
    if grep -q '^listening \(https\|link\)' "$out"; then
      local kind p
      while read -r _ kind p; do
        case $kind in
          https | link) printf -v "$var" '%s' "$p" ;;
          *) printf -v "${var}_${kind^^}" '%s' "$p" ;;
        esac
      done < <(grep '^listening ' "$out")
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "$(basename "$1"): did not start: $(cat "$out")" >&2
  return 1
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -eu
  "$_rs_root/scripts/make-test-certs.sh" "$REPORTSERVER_CERTS" >/dev/null
  args=("$@")
  printf '%s\n' "${args[@]}" | grep -qx -- --cert ||
    args+=(--cert "$REPORTSERVER_CERTS/server.pem" --key "$REPORTSERVER_CERTS/server.key")
  exec "$REPORTSERVER" "${args[@]}"
else
  tavri_on_exit _rs_stop_all
fi
