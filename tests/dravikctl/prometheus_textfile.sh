#!/usr/bin/env bash
# dravikctl's Prometheus text as node_exporter's textfile collector would read it: two files
# (temperature and hours) of the same displays in one directory. Each passes
# `promtool check metrics` with no lint warning, and no series is in both files.
#   prometheus_textfile.sh DRAVIKCTL DISPLAY_SIM
# Exits 77 (skipped) when promtool is not installed.
set -uo pipefail

ctl="$1" sim="$2"
if ! command -v promtool >/dev/null; then
  echo "SKIP: promtool is not installed (Debian package prometheus)"
  exit 77
fi

tmp=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# An answering display, one that refuses every frame and one that is not there at all.
"$sim" --lan 127.0.87.1,KA-55 --lan 127.0.87.2,KA-55@nack >"$tmp/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
  [ "$(grep -c '^lan:' "$tmp/sim.out")" -ge 2 ] && break
  sleep 0.1
done
[ "$(grep -c '^lan:' "$tmp/sim.out")" -ge 2 ] || { cat "$tmp/sim.out"; echo "FAIL: the simulator did not start"; exit 1; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for read in temperature hours; do
  "$ctl" query "$read" --model KA-55 --ip 127.0.87.1 --ip 127.0.87.2 --ip 127.0.87.3 \
    --format prometheus >"$tmp/$read.prom"
  echo "--- $read.prom"
  cat "$tmp/$read.prom"
  out=$(promtool check metrics <"$tmp/$read.prom" 2>&1) || fail "promtool check metrics ($read): $out"
  [ -z "$out" ] || fail "promtool check metrics ($read) says: $out"
  grep -q "^dravik_probe_success{read=\"$read\",address=\"127.0.87.1\",model=\"KA-55\"} 1$" "$tmp/$read.prom" ||
    fail "$read: no success 1 for the answering display"
  grep -q "^dravik_read_outcome{read=\"$read\",outcome=\"nack\",address=\"127.0.87.2\"" "$tmp/$read.prom" ||
    fail "$read: no nack outcome for the refusing display"
done
grep -q '^dravik_display_operating_time_seconds{address="127.0.87.1",model="KA-55"} 4320000$' "$tmp/hours.prom" ||
  fail "hours: 1200 hours are not 4320000 seconds"

# The collector merges the files of a directory: a series in both would be "collected before".
common=$(comm -12 <(grep -v '^#' "$tmp/temperature.prom" | sed 's/ [^ ]*$//' | sort) \
                  <(grep -v '^#' "$tmp/hours.prom" | sed 's/ [^ ]*$//' | sort))
[ -z "$common" ] || fail "series in both files: $common"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "both textfiles pass promtool and share no series"
