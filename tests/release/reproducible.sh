#!/usr/bin/env bash
# The release builds to the same bytes from another copy of the tree, in
# another folder, later, in another time zone and with another umask:
#   tests/release/reproducible.sh
# builds it here (scripts/release.sh, build/release), copies the files git
# knows (tracked and new) to a temporary folder, builds them there with the
# same SOURCE_DATE_EPOCH, and compares what SHA256SUMS lists (the zip and the
# two programs). Names every file that differs and the first byte where.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}
scripts/release.sh >/dev/null

other=$(mktemp -d /tmp/tavri-rebuild.XXXXXX)
trap 'rm -rf "$other"' EXIT
git ls-files -z --cached --others --exclude-standard |
  tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -C "$other" -xmf -
(cd "$other" && umask 077 && TZ=Pacific/Chatham scripts/release.sh >/dev/null)

differ=0
while read -r hash file; do
  there=$(awk -v f="$file" '$2 == f { print $1 }' "$other/build/release/SHA256SUMS")
  [ "$hash" = "$there" ] && continue
  echo "reproducible: $file differs between the two builds: $hash here, ${there:-none} there;" \
    "$(cmp "build/release/$file" "$other/build/release/$file" 2>&1 | head -1)"
  differ=1
done <build/release/SHA256SUMS
[ "$differ" -eq 0 ] || exit 1
echo "reproducible: both builds give"
cat build/release/SHA256SUMS
