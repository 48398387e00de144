#!/usr/bin/env bash
# Checks that Windows binaries load on Windows XP SP3: every function they
# import is exported by that name by XP SP3's DLL (the lists in
# reference/xp-sp3/, one per DLL), their PE subsystem version is at most
# 5.01, and they carry no implicit thread-local data (a .tls section beyond
# the runtime's markers), which XP does not set up for a DLL loaded with
# LoadLibrary. Prints every offence; exits 1 if there is one,
# 2 on bad usage or when a binary cannot be read (the others are still checked).
#   scripts/check-imports.sh BINARY...
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
lists=$root/reference/xp-sp3
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

[ $# -gt 0 ] || { echo "usage: check-imports.sh BINARY..." >&2; exit 2; }
command -v "$objdump" >/dev/null ||
  { echo "check-imports: $objdump not found (package binutils-mingw-w64-i686)" >&2; exit 2; }

status=0
for binary in "$@"; do
  if ! dump=$("$objdump" -p "$binary" 2>&1); then
    echo "check-imports: $binary: cannot read it as a PE file: ${dump##*: }" >&2
    status=2
    continue
  fi
  problems=0

  major=$(awk '$1 == "MajorSubsystemVersion" { print $2 }' <<<"$dump")
  minor=$(awk '$1 == "MinorSubsystemVersion" { print $2 }' <<<"$dump")
  if [ -z "$major" ] || [ -z "$minor" ]; then
    echo "check-imports: $binary: no subsystem version in its PE header" >&2
    status=2
    continue
  fi
  if [ "$major" -gt 5 ] || { [ "$major" -eq 5 ] && [ "$minor" -gt 1 ]; }; then
    echo "$binary: subsystem version $major.$minor is above 5.01 (Windows XP)"
    problems=$((problems + 1))
  fi

  # mingw-w64's runtime puts two markers in .tls, 4 bytes each: _tls_start
  # and _tls_end, between which the template lies. Its compilers make
  # thread_local variables with TlsAlloc (emulated), so anything more there
  # came from native thread-local data (another compiler, a prebuilt object).
  tls=$("$objdump" -h "$binary" | awk '$2 == ".tls" { print $3 }')
  if [ -n "$tls" ] && [ $((16#$tls)) -gt 8 ]; then
    echo "$binary: its .tls section holds $((16#$tls)) bytes, more than the runtime's 8:" \
      "implicit thread-local data, which Windows XP does not give a DLL loaded with LoadLibrary"
    problems=$((problems + 1))
  fi

  # "dll function" for every import by name, "dll #ordinal" for one by ordinal.
  imports=$(awk '
    /^The Import Tables/ { inside = 1; next }
    /^The .* Tables/ && !/Import Tables/ { inside = 0 }
    inside && /DLL Name:/ { dll = tolower($3); sub(/\.dll$/, "", dll); next }
    inside && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]/ {
      if ($3 == "<none>") print dll, "#" $2; else print dll, $3
    }' <<<"$dump" | LC_ALL=C sort -u)

  # A DLL without a list exports nothing we can vouch for; neither does an
  # ordinal ("#n"), which no list holds.
  for dll in $(awk '{ print $1 }' <<<"$imports" | uniq); do
    list=$lists/$dll.txt
    [ -f "$list" ] || list=/dev/null
    while read -r name; do
      [ -n "$name" ] || continue
      echo "$binary: $dll.dll!$name is not exported by Windows XP SP3 (reference/xp-sp3/$dll.txt)"
      problems=$((problems + 1))
    done < <(LC_ALL=C comm -23 <(awk -v d="$dll" '$1 == d { print $2 }' <<<"$imports") "$list")
  done

  if [ "$problems" -eq 0 ]; then
    echo "$binary: loads on Windows XP SP3 (subsystem $major.$minor, $(wc -l <<<"$imports") imports)"
  elif [ "$status" -eq 0 ]; then
    status=1
  fi
done
exit "$status"
