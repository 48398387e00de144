#!/usr/bin/env bash
# The external contract of the built binaries (exports, registry entries,
# type library, version blocks, window layouts), read back by
# contract_dump.exe and compared with contract.golden. Runs inside run.sh.
#   contract.sh [--update]    --update rewrites contract.golden instead
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine "$TAVRI_BIN/contract_dump.exe" | tr -d '\r' >"$out" || exit 1
if [ "${1:-}" = --update ]; then cp "$out" "$here/contract.golden"; exit 0; fi
diff -u "$here/contract.golden" "$out" && echo "contract.sh: $(wc -l <"$out") lines as in contract.golden"
