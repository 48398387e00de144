#!/usr/bin/env bash
# The tag over a link with a 50 ms round trip (linkrelay in front of the
# report server, on the plug-in's port), typed three times into one host
# stand-in, 3 s apart, for each way the link treats the idle connection
# between them: kept, closed, reset, silently forgotten. Every tag answers
# with its four lines, each after the first within 4 s of being typed (a
# warning box would hold it up); the provider sees at most one extra request
# for each tag that met a dead connection; a kept connection carries all
# three tags.
# Under the Wine harness itself: the link takes the port that run.sh's
# report server would hold.
set -u
root=$(cd "$(dirname "$0")/../../.." && pwd)
source "$root/scripts/wine-harness.sh"
tavri_wine_start || exit 1
work=$(mktemp -d /tmp/tavri-link.XXXXXX)
tavri_keep_stored_settings "$work"
wine regsvr32 /s "$(tavri_winpath "$TAVRI_BIN/Tavri.dll")" &&
  (cd "$TAVRI_BIN" && wine regedit /s install.reg) &&
  wine reg add "$TAVRI_SETTINGS_KEY" /v username /d linked /f >/dev/null 2>&1 &&
  wine reg add "$TAVRI_SETTINGS_KEY" /v password /d pw /f >/dev/null 2>&1 ||
  { echo "link: Tavri.dll not registered or listed, or the account not stored" >&2; exit 1; }
printf 'linked\tpw\tplan_name=Basic 10GB Upgrade\\r\\nusage=1234MB\\r\\nplan_limit=3000MB\\r\\n\n' \
  >"$work/accounts"

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Three tags through one host, each typed once the one before has answered
# and the link has been idle for 3 s; prints each tag's time in ms ("-" for
# one that did not answer within 20 s).
three_tags() {
  local out=$1 i typed host feed
  mkfifo "$work/in"
  wine "$TAVRI_BIN/plughost.exe" --raw <"$work/in" >"$out" 2>&1 &
  host=$!
  tavri_track "$host"
  exec {feed}>"$work/in"
  for i in 1 2 3; do
    [ "$i" = 1 ] || sleep 3
    typed=$(now_ms)
    echo "(!XTAVRI)" >&"$feed"
    while [ "$(grep -c 'Amount Left:.*1766 MB' "$out")" -lt "$i" ]; do
      [ $(($(now_ms) - typed)) -lt 20000 ] || { printf ' -'; break 2; }
      sleep 0.02
    done
    printf ' %d' $(($(now_ms) - typed))
  done
  exec {feed}>&-
  rm -f "$work/in"
  # A host held up by a warning box ends only when it is ended.
  for i in $(seq 100); do kill -0 "$host" 2>/dev/null && sleep 0.1; done
  kill "$host" 2>/dev/null
  wait "$host" 2>/dev/null
}

status=0
fail() { echo "link: $*" >&2; status=1; }
for idle in keep close reset forget; do
  (
    source "$root/scripts/reportserver.sh"
    reportserver_start SERVER --port 0 --accounts "$work/accounts" --log "$work/requests-$idle" &&
      linkrelay_start LINK --port 47443 --to "$SERVER" --rtt-ms 50 --idle "$idle" \
        --idle-after-ms 1000 --log "$work/link-$idle" || exit 1
    three_tags "$work/out-$idle" >"$work/times-$idle"
  ) || fail "$idle: the servers did not start"
  read -r -a ms <"$work/times-$idle"
  requests=$(grep -c . "$work/requests-$idle" 2>/dev/null)
  connections=$(grep -c ' opened$' "$work/link-$idle" 2>/dev/null)
  printf 'idle connection %-7s tags in %s ms; %s requests over %s connection(s)\n' \
    "$idle:" "${ms[*]}" "$requests" "$connections"
  [ "${#ms[@]}" = 3 ] && [ "${ms[2]}" != - ] ||
    { fail "$idle: not every tag answered: $(tr -d '\r' <"$work/out-$idle")"; continue; }
  [ "${ms[1]}" -le 4000 ] && [ "${ms[2]}" -le 4000 ] || fail "$idle: a tag took over 4 s"
  # At most one extra request for each of the two tags after a drop.
  case $idle in
    keep) least=15 most=15 opened=1 ;;
    forget) least=15 most=17 opened=3 ;;
    *) least=15 most=15 opened=3 ;;
  esac
  [ "$requests" -ge "$least" ] && [ "$requests" -le "$most" ] && [ "$connections" = "$opened" ] ||
    fail "$idle: expected $least to $most requests over $opened connection(s)"
done
exit "$status"
