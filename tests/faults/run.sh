#!/usr/bin/env bash
# Plants the faults of catalogue.txt one at a time and tells which the test
# suite catches: the way to show that a test pays for itself, and that
# cutting a test lost nothing.
#   tests/faults/run.sh [ID...]      (default: every entry)
# The faults go into a scratch worktree of HEAD (build/faults/tree, with its
# own builds), never into this tree; the worktree is removed at the end.
# One line a fault: caught, MISSED, SKIPPED (the tests that judge it did not
# run here, e.g. no Wine), STALE (its text is not in the file once) or BUILD
# (it does not compile). Exit status 1 when a fault was missed, stale or
# did not build.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
tree=$root/build/faults/tree
catalogue=$here/catalogue.txt

source "$root/scripts/on-exit.sh"

git -C "$root" worktree remove --force "$tree" 2>/dev/null
git -C "$root" worktree add -q --detach "$tree" HEAD || exit 2
tavri_on_exit "git -C '$root' worktree remove --force '$tree'"
# build [TESTS]: a fault that only native tests judge needs only the native build.
build() {
  (cd "$tree" && case ${1:-wine_} in
    *wine_*) scripts/build.sh ;;
    *) cmake --preset native && cmake --build --preset native ;;
  esac) >"$tree/build.log" 2>&1
}
build || { echo "faults: the unchanged tree does not build: $tree/build.log" >&2; exit 2; }

status=0
# ID<TAB>FILE<TAB>TESTS (a ctest -R expression)<TAB>FIND<TAB>REPLACE<TAB>WHAT;
# FIND and REPLACE take \n and \t.
# A tab is blank to `read`, so two in a row would merge: split on \x1f instead.
while IFS= read -r row; do
  IFS=$'\x1f' read -r id file tests find replace what <<<"${row//$'\t'/$'\x1f'}"
  [[ -z $id || $id == \#* ]] && continue
  [ $# -eq 0 ] || [[ " $* " == *" $id "* ]] || continue
  if ! FIND=$find REPLACE=$replace perl -0777 -i -ne '
      my ($f, $r) = map { s/\\n/\n/g; s/\\t/\t/g; $_ } ($ENV{FIND}, $ENV{REPLACE});
      my $n = () = /\Q$f\E/g;
      $n == 1 or exit 1;
      s/\Q$f\E/$r/; print' "$tree/$file"; then
    verdict=STALE
  elif ! build "$tests"; then
    verdict=BUILD
  else
    if out=$(cd "$tree" && ctest --test-dir build/native -R "$tests" 2>&1); then
      grep -q 'Skipped\|No tests were found' <<<"$out" && verdict=SKIPPED || verdict=MISSED
    else
      verdict=caught
    fi
  fi
  git -C "$tree" checkout -q -- "$file"
  touch "$tree/$file"  # what was built from the fault is rebuilt
  case $verdict in caught | SKIPPED) ;; *) status=1 ;; esac
  printf '%-8s %-4s %s\n' "$verdict" "$id" "$what"
done <"$catalogue"
exit "$status"
