#!/usr/bin/env bash
# Tavri.dll exports exactly the four entry points of a self-registering
# in-process server, undecorated, and imports only DLLs that Windows ships.
#   exports.sh path/to/Tavri.dll
set -u
dll=${1:?usage: exports.sh Tavri.dll}
[ -f "$dll" ] || { echo "exports.sh: $dll not found" >&2; exit 1; }
table=$(i686-w64-mingw32-objdump -p "$dll") || exit 1
fail=0

exports=$(printf '%s\n' "$table" |
  sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
wanted=$(printf '%s\n' DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer)
if [ "$exports" != "$wanted" ]; then
  echo "exports differ from the four entry points:" >&2
  diff <(echo "$wanted") <(echo "$exports") >&2
  fail=1
fi

system='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|wininet|shell32|comctl32|imm32|msvcrt)\.dll$'
imports=$(printf '%s\n' "$table" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || { echo "no import table found" >&2; fail=1; }
for name in $imports; do
  if ! [[ $name =~ $system ]]; then
    echo "imports a DLL Windows does not ship: $name" >&2
    fail=1
  fi
done

echo "exports: $(echo $exports)"
echo "imports: $(echo $imports)"
exit $fail
