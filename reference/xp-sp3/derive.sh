#!/usr/bin/env bash
# Rebuilds the export lists of this folder from ReactOS's export tables (see
# README.md): for each TABLE (e.g. dll/win32/kernel32/kernel32 plus its
# extension), <name>.txt beside this script holds every function or variable
# that the 32-bit x86 DLL of Windows XP SP3 exports by name, one a line,
# sorted.
#   derive.sh TABLE...
# A line is kept unless
#   - it is exported by ordinal only (-noname), or by name only in later
#     versions of the DLL (-ordinal: the common controls' DSA_, DPA_, MRU,
#     subclassing and task dialog functions, which XP's comctl32 5.82 exports
#     by ordinal only),
#   - it is for other processors only (-arch= without i386 or win32),
#   - its -version= range leaves out 0x501 (XP), e.g. 0x600+ or 0x502,
#   - ReactOS notes it as "missing in XP SP3",
#   - later-than-xp.txt names it (ReactOS follows Windows Server 2003, whose
#     additions it mostly does not mark).
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: derive.sh TABLE..." >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)

for table in "$@"; do
  [ -r "$table" ] || { echo "derive.sh: cannot read $table" >&2; exit 1; }
  name=$(basename "$table")
  name=${name%.*}
  LC_ALL=C awk -v table="$table" '
    function hex(s,   n, i, c) {
      n = 0; s = tolower(s); sub(/^0x/, "", s)
      for (i = 1; i <= length(s); i++) {
        c = index("0123456789abcdef", substr(s, i, 1))
        if (c == 0) return -1
        n = n * 16 + c - 1
      }
      return n
    }
    # A -version= value: "A", "A+", "A-B"; true when 0x501 lies within.
    function hasXp(range,   parts, xp) {
      xp = 1281
      if (range ~ /\+$/) { sub(/\+$/, "", range); return hex(range) <= xp }
      if (split(range, parts, "-") == 2) return hex(parts[1]) <= xp && xp <= hex(parts[2])
      return hex(range) == xp
    }
    function forX86(list,   items, i, n, negated, hit) {
      n = split(list, items, ",")
      for (i = 1; i <= n; i++) {
        if (items[i] ~ /^!/) { negated = 1; if (items[i] == "!i386" || items[i] == "!win32") return 0 }
        else if (items[i] == "i386" || items[i] == "win32") hit = 1
      }
      return hit || negated
    }
    {
      line = $0
      note = ""
      if (match(line, /[;#]/)) { note = substr(line, RSTART); line = substr(line, 1, RSTART - 1) }
      if (line ~ /^[ \t]*$/) next
      if (note ~ /missing in XP SP3/) next
      n = split(line, f, /[ \t]+/)
      first = (f[1] == "") ? 2 : 1
      type = f[first + 1]
      keep = 1
      for (i = first + 2; i <= n && f[i] ~ /^-/; i++) {
        if (f[i] == "-noname" || f[i] == "-ordinal") keep = 0
        else if (f[i] ~ /^-arch=/) keep = keep && forX86(substr(f[i], 7))
        else if (f[i] ~ /^-version=/) keep = keep && hasXp(substr(f[i], 10))
        else if (f[i] == "-i386") keep = keep
      }
      if (i > n) { printf "derive.sh: %s:%d: no name: %s\n", table, NR, $0 > "/dev/stderr"; bad = 1; next }
      if (type !~ /^(stdcall|cdecl|varargs|fastcall|thiscall|stub|extern|equate)$/) {
        printf "derive.sh: %s:%d: unknown entry type %s\n", table, NR, type > "/dev/stderr"; bad = 1; next
      }
      exported = f[i]
      sub(/\(.*/, "", exported)
      if (keep && exported != "") print exported
    }
    END { exit bad }
  ' "$table" | sort -u >"$here/$name.txt.new"
  # Minus what later-than-xp.txt lists for this DLL.
  awk -v dll="$name" '!/^#/ && $1 == dll { print $2 }' "$here/later-than-xp.txt" |
    LC_ALL=C sort -u | LC_ALL=C comm -23 "$here/$name.txt.new" - >"$here/$name.txt"
  rm -f "$here/$name.txt.new"
  echo "derive.sh: $name.txt: $(wc -l <"$here/$name.txt") exports"
done
