#!/usr/bin/env bash
# Checks that every C++ file git knows has the one format of .clang-format
# (Debian's clang-format 14, installed by scripts/install-prereqs.sh).
#   scripts/format.sh          lists the files that differ; exit 1 if any
#   scripts/format.sh --fix    rewrites them in place
# Touches nothing but the files it fixes.
set -euo pipefail
cd "$(dirname "$0")/.."
fix=0
case "${1:-}" in
  --fix) fix=1 ;;
  "") ;;
  *) echo "usage: scripts/format.sh [--fix]" >&2; exit 2 ;;
esac
formatter=${CLANG_FORMAT:-clang-format}
command -v "$formatter" >/dev/null ||
  { echo "format: $formatter not found (scripts/install-prereqs.sh installs it)" >&2; exit 2; }

mapfile -d '' files < <(git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h')
if [ "$fix" -eq 1 ]; then
  "$formatter" -i --style=file -- "${files[@]}"
  exit 0
fi
differing=()
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  "$formatter" --style=file -- "$f" | cmp -s - "$f" || differing+=("$f")
done
[ ${#differing[@]} -eq 0 ] && exit 0
printf 'format: not in the format of .clang-format: %s\n' "${differing[@]}" >&2
echo "format: scripts/format.sh --fix rewrites them" >&2
exit 1
