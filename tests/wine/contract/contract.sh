#!/usr/bin/env bash
# The external contract of the built binaries (exports, registry entries,
# type library, version blocks, window layouts), read back by
# contract_dump.exe and compared with contract.golden. Runs inside run.sh.
#   contract.sh [--update]    --update rewrites contract.golden instead
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dump=$(wine "$TAVRI_BIN/contract_dump.exe" | tr -d '\r') || exit 1
# The 64-bit build registers its type library for win64, in both registry
# views; everything else it shows is the 32-bit build's.
[ -z "${TAVRI_WINDOWS_64BIT_BUILD:-}" ] ||
  dump=$(sed '/^\(registry\|left after unregistering\) Wow6432Node\\/d
              s/^\(registry Typelib.*\\0\\\)win64 /\1win32 /' <<<"$dump")
if [ "${1:-}" = --update ]; then
  [ -z "${TAVRI_WINDOWS_64BIT_BUILD:-}" ] ||
    { echo "contract.sh: the golden table is the 32-bit build's; --update needs it" >&2; exit 2; }
  printf '%s\n' "$dump" >"$here/contract.golden"
  exit 0
fi
diff -u "$here/contract.golden" <(printf '%s\n' "$dump") &&
  echo "contract.sh: $(wc -l <<<"$dump") lines as in contract.golden"
