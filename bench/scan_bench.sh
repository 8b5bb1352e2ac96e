#!/bin/bash
# Times a whole LAN scan with the tool's own timings, inside network namespaces made here
# (never the machine's network): a /24 behind a bridge with three simulated displays
# (KC-46D ID 1, LM-55 ID 2, KA-42 ID 3 at .11-.13). Prints the time from the press to
# "Scan Finished" beside the scan's own waits (254 x 80 ms + 5 s) and their ratio, the time
# to close the scanner afterwards, the peak thread count and the peak resident memory of the
# scanning process. Needs root.
#
# Usage: bench/scan_bench.sh [BUILD_DIR] [--with-silent]
#   --with-silent  adds a display at .14 that takes connections but never answers, so a
#                  probe is still trying monitor IDs when the scanner is closed.
set -u
BUILD=${1:-build}
SILENT=0
[ "${2:-}" = --with-silent ] && SILENT=1
DRIVER=$BUILD/tests/discovery/dravik-scan-driver
SIM=$BUILD/tools/display-sim/dravik-display-sim
[ "$(id -u)" = 0 ] || { echo "scan_bench: needs root (network namespaces)"; exit 77; }
for f in "$DRIVER" "$SIM"; do [ -x "$f" ] || { echo "scan_bench: $f not built"; exit 1; }; done

TAG=$$
SCAN=dravik-bscan-$TAG
HOSTS=(dravik-bd1-$TAG dravik-bd2-$TAG dravik-bd3-$TAG dravik-bd4-$TAG)
WORK=$(mktemp -d /tmp/dravik-bench-$TAG.XXXXXX)
SIM_PIDS=()
cleanup() {
    for pid in "${SIM_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${SIM_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
    for ns in "$SCAN" "${HOSTS[@]}"; do ip netns del "$ns" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

set -e
ip netns add "$SCAN"
ip -n "$SCAN" link set lo up
ip -n "$SCAN" link add br0 type bridge
ip -n "$SCAN" link set br0 up
ip -n "$SCAN" addr add 10.213.77.1/24 dev br0
for i in 1 2 3 4; do
    ns=${HOSTS[$((i - 1))]}
    ip netns add "$ns"
    ip link add "h$i" netns "$SCAN" type veth peer name eth0 netns "$ns"
    ip -n "$SCAN" link set "h$i" master br0 up
    ip -n "$ns" link set lo up
    ip -n "$ns" addr add "10.213.77.$((10 + i))/24" dev eth0
    ip -n "$ns" link set eth0 up
done
set +e

start_sim() {  # namespace address model id [fault]
    ip netns exec "$1" "$SIM" --strict-id --allow-any-address --lan "$2:5000,$3,$4${5:+@$5}" >"$WORK/sim-$2.log" 2>&1 &
    SIM_PIDS+=($!)
    for _ in $(seq 100); do grep -q "^lan: " "$WORK/sim-$2.log" 2>/dev/null && return 0; sleep 0.05; done
    echo "scan_bench: display $2 did not start"; cat "$WORK/sim-$2.log"; exit 1
}
start_sim "${HOSTS[0]}" 10.213.77.11 KC-46D 1
start_sim "${HOSTS[1]}" 10.213.77.12 LM-55 2
start_sim "${HOSTS[2]}" 10.213.77.13 KA-42 3
[ $SILENT = 1 ] && start_sim "${HOSTS[3]}" 10.213.77.14 KA-55 1 never

/usr/bin/time -f "%e %M" -o "$WORK/time" ip netns exec "$SCAN" "$DRIVER" --local 10.213.77.1 >"$WORK/scan.out" 2>&1
code=$?
stats=$(grep '^STATS' "$WORK/scan.out")
rows=$(grep -c '^RESULT' "$WORK/scan.out")
get() { sed -n "s/.*$1=\([0-9]*\).*/\1/p" <<<"$stats"; }
echo "scan of 10.213.77.0/24: $rows rows, driver exit $code$([ $SILENT = 1 ] && echo ', one silent display')"
elapsed=$(get elapsed_ms)
# The waits the scan is made of: 254 probe spacings of 80 ms, then the 5 s finish delay.
waits=$((254 * 80 + 5000))
printf '  press to "Scan Finished"   %6d ms\n' "$elapsed"
printf '  its waits (254 x 80 + 5000) %5d ms\n' "$waits"
[ -n "$elapsed" ] && printf '  ratio                      %6s   (goal <= 1.05)\n' \
    "$(awk -v a="$elapsed" -v b="$waits" 'BEGIN { printf "%.3f", a / b }')"
printf '  closing the scanner        %6d ms\n' "$(get shutdown_ms)"
printf '  peak threads               %6d\n' "$(get peak_threads)"
printf '  peak resident memory       %6d KiB\n' "$(get peak_rss_kb)"
read -r wall maxrss <"$WORK/time" 2>/dev/null && printf '  whole process              %6.1f s\n' "$wall"
exit $code
