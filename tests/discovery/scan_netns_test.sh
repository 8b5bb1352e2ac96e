#!/bin/bash
# End-to-end LAN scan inside network namespaces made here and removed on every path:
#   scanner  10.213.77.1/24 on a bridge, in its own namespace
#   .11  KC-46D ID 1                      (answers pings)
#   .12  LM-55  ID 2 (tag, then model)    (answers pings)
#   .13  KA-42  ID 3                      (ignores pings: found through the neighbour table)
#   .14  a host without anything on port 5000
# The displays answer only their own monitor ID. Needs root; exits 77 (skipped) otherwise.
# Usage: scan_netns_test.sh DRIVER SIM
set -u
DRIVER=$1
SIM=$2

skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "needs root to create network namespaces"
command -v ip >/dev/null || skip "iproute2 (ip) is not installed"

TAG=$$
SCAN=dravik-scan-$TAG
HOSTS=(dravik-d1-$TAG dravik-d2-$TAG dravik-d3-$TAG dravik-d4-$TAG)
WORK=$(mktemp -d /tmp/dravik-netns-$TAG.XXXXXX)
SIM_PIDS=()

cleanup() {
    for pid in "${SIM_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${SIM_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
    for ns in "$SCAN" "${HOSTS[@]}"; do ip netns del "$ns" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

ip netns add "$SCAN" 2>/dev/null || skip "cannot create network namespaces here"
for ns in "${HOSTS[@]}"; do ip netns add "$ns" || exit 1; done

set -e
ip -n "$SCAN" link set lo up
ip -n "$SCAN" link add br0 type bridge
ip -n "$SCAN" link set br0 up
ip -n "$SCAN" addr add 10.213.77.1/24 dev br0
for i in 1 2 3 4; do
    ns=${HOSTS[$((i - 1))]}
    ip link add "h$i" netns "$SCAN" type veth peer name eth0 netns "$ns"
    ip -n "$SCAN" link set "h$i" master br0 up
    ip -n "$ns" link set lo up
    ip -n "$ns" addr add "10.213.77.$((10 + i))/24" dev eth0
    ip -n "$ns" link set eth0 up
done
ip netns exec "${HOSTS[2]}" sh -c 'echo 1 > /proc/sys/net/ipv4/icmp_echo_ignore_all'
set +e

start_sim() {  # namespace address model id
    ip netns exec "$1" "$SIM" --strict-id --allow-any-address --lan "$2:5000,$3,$4" >"$WORK/sim-$2.log" 2>&1 &
    SIM_PIDS+=($!)
}
start_sim "${HOSTS[0]}" 10.213.77.11 KC-46D 1
start_sim "${HOSTS[1]}" 10.213.77.12 LM-55 2
start_sim "${HOSTS[2]}" 10.213.77.13 KA-42 3
for addr in 10.213.77.11 10.213.77.12 10.213.77.13; do
    for _ in $(seq 100); do grep -q "^lan: " "$WORK/sim-$addr.log" 2>/dev/null && break; sleep 0.05; done
    grep -q "^lan: " "$WORK/sim-$addr.log" || { echo "FAIL: simulated display $addr did not start"; cat "$WORK/sim-$addr.log"; exit 1; }
done

failed=0
expect() {  # description, condition result
    if [ "$2" = 0 ]; then echo "ok   - $1"; else echo "FAIL - $1"; failed=1; fi
}

# The driver refuses the machine's own namespace (asked for loopback only, in case it did not).
"$DRIVER" --presence 127.0.0.1 >/dev/null 2>&1
expect "driver refuses to scan outside a test namespace" $([ $? = 4 ]; echo $?)

# Presence alone, through an unprivileged ping socket (allowed in this namespace only).
ip netns exec "$SCAN" sh -c 'echo "0 2147483647" > /proc/sys/net/ipv4/ping_group_range'
p=$(ip netns exec "$SCAN" "$DRIVER" --presence 10.213.77.11 --icmp ping)
expect "ping socket: display answering pings is present ($p)" $([ "$p" = PRESENT ]; echo $?)
p=$(ip netns exec "$SCAN" "$DRIVER" --presence 10.213.77.13 --icmp ping)
expect "ping socket: host ignoring pings is present by its hardware address ($p)" $([ "$p" = PRESENT ]; echo $?)
p=$(ip netns exec "$SCAN" "$DRIVER" --presence 10.213.77.99 --icmp ping --echo-timeout 1000)
expect "ping socket: nobody at .99 ($p)" $([ "$p" = ABSENT ]; echo $?)

# The whole scan with the tool's own timings, raw ICMP socket.
ip netns exec "$SCAN" timeout 200 "$DRIVER" --local 10.213.77.1 --icmp raw --linger 1000 >"$WORK/scan.out" 2>&1
code=$?
cat "$WORK/scan.out"
expect "scan ends with FINISHED (exit $code)" $([ $code = 0 ]; echo $?)
expected=$(printf 'RESULT\t10.213.77.11\tKC-46D\t1\nRESULT\t10.213.77.12\tLM-55\t2\nRESULT\t10.213.77.13\tKA-42\t3')
got=$(grep '^RESULT' "$WORK/scan.out" | sort)
expect "three rows, right models and IDs; nothing for .1 and .14" $([ "$got" = "$expected" ]; echo $?)
expect "FINISHED exactly once, after the rows" \
    $([ "$(grep -c '^FINISHED' "$WORK/scan.out")" = 1 ] && [ "$(tail -n 2 "$WORK/scan.out" | head -n 1)" = FINISHED ]; echo $?)
expect "no scan error" $(! grep -q '^ERROR' "$WORK/scan.out"; echo $?)

exit $failed
