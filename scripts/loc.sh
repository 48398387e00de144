#!/usr/bin/env bash
# Lines of code and of tests: non-blank lines that are not comment-only, over
# the files git knows (tracked, plus new files that are not ignored).
#   tests:      tests/**, scripts/test.sh and the import check that ctest runs
#               (scripts/check-imports.sh)
#   left out:   docs/**, *.md, README*.txt, images, binary files, dot-files
#               (but .ci/), and the tests' data: the fault catalogue's
#               entries, the report server's accounts, the golden contract
#               table (tests/**/*.txt, tests/**/*.golden); reference/** apart
#   code:       everything else: the host and report server stand-ins, the
#               demo, the benchmarks (which test nothing: they print
#               figures), the build and the format and line-count tooling too
# Usage: scripts/loc.sh [--check]   (--check: exit 1 when tests/code > 0.35)
set -euo pipefail
export LC_ALL=C
cd "$(git -C "$(dirname "$0")" rev-parse --show-toplevel)"
check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

git ls-files -z --cached --others --exclude-standard | sort -zu |
  { xargs -0 grep -Ils '' -- || true; } | awk -v check="$check" -v limit=0.35 '
function kind(f) {
  if ((f ~ /^\.|\/\./ && f !~ /^\.ci\//) || f ~ /^docs\//) return ""
  if (f ~ /\.md$/ || f ~ /(^|\/)README[^\/]*\.txt$/ || f ~ /\.(png|jpe?g|gif|bmp|ico|svg)$/) return ""
  if (f ~ /^tests\/.*\.(txt|golden)$/ && f !~ /CMakeLists\.txt$/) return ""
  if (f ~ /^reference\//) return "reference"
  if (f ~ /^tests\// || f ~ /^scripts\/(test|check-imports)\.sh$/) return "tests"
  return "code"
}
# Comment style: C family (// and /* */), ";" (module-definition and
# registry files) or "#" (shell, CMake and the rest).
function style(f) {
  if (f ~ /\.(c|cc|cpp|cxx|h|hh|hpp|rc|idl)$/) return "c"
  if (f ~ /\.(def|reg|ini)$/) return ";"
  return "#"
}
{
  k = kind($0); if (k == "") next
  s = style($0); inblock = 0
  while ((getline line < $0) > 0) {
    gsub(/^[ \t]+|[ \t\r]+$/, "", line)
    if (line == "") continue
    if (s == "c") {
      if (inblock) { if (line ~ /\*\//) inblock = 0; continue }
      if (line ~ /^\/\//) continue
      if (line ~ /^\/\*/) { if (line !~ /\*\//) inblock = 1; continue }
      if (line ~ /^\*(\/| |$)/) continue
    } else if (substr(line, 1, 1) == s) continue
    n[k]++
  }
  close($0)
}
END {
  ratio = n["code"] ? n["tests"] / n["code"] : 0
  printf "code %d  tests %d  ratio %.3f", n["code"], n["tests"], ratio
  if (n["reference"]) printf "  reference %d", n["reference"]
  printf "\n"
  if (check && ratio > limit) {
    printf "loc: tests are %.3f of the code, above %.2f: choose what to test\n", ratio, limit > "/dev/stderr"
    exit 1
  }
}'
