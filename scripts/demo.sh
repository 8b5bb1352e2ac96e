#!/usr/bin/env bash
# Demo: simulated displays on loopback and one pseudo-terminal line, and the tool started in
# a demo directory whose list files name them. The simulators stop when the tool exits.
# Usage: scripts/demo.sh BUILD_DIR [TOOL-OPTIONS]   (scripts/run.sh --demo calls it)
set -euo pipefail
build="$(cd "${1:?usage: demo.sh BUILD_DIR [TOOL-OPTIONS]}" && pwd)"
shift
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
sim="$build/tools/display-sim/dravik-display-sim"
tool="$build/src/app/dravik-command-tool"
demo_dir="${DRAVIK_DEMO_DIR:-$root/build/demo}"
mkdir -p "$demo_dir"

# LAN displays: address, model, monitor ID. The first six also form a 3 x 2 wall.
lan=(
  "127.0.0.2 KA-55Q 1"
  "127.0.0.3 KA-55Q 2"
  "127.0.0.4 KA-55 3"
  "127.0.0.5 KC-55D3 4"
  "127.0.0.6 KC-46D 5"
  "127.0.0.7 KA-43Q 6"
  "127.0.0.8 LM-55 7"
  "127.0.0.9 NFB-6502 8"
)
# One RS-232 line: model:ID pairs.
serial="LM-55:1,KA-55:2,LX-32:11"

args=()
for row in "${lan[@]}"; do
  read -r addr model id <<<"$row"
  args+=(--lan "$addr,$model,$id")
done
args+=(--serial "$serial")

log="$demo_dir/display-sim.log"
"$sim" "${args[@]}" >"$log" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT

pty=""
for _ in $(seq 1 50); do
  pty=$(sed -n 's/^serial: //p' "$log" | head -n 1)
  [ -n "$pty" ] && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    echo "demo: the simulated displays did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  sleep 0.1
done

# The list files: 30-byte records, header first (see src/targets/records.h).
python3 - "$demo_dir" "$serial" "${lan[@]}" <<'PY'
import sys, os
out, serial, rows = sys.argv[1], sys.argv[2], [r.split() for r in sys.argv[3:]]
def field(text, width):
    b = text.encode()[:width]
    return b + b"\0" * (width - len(b))
def record(a, b, c, d):
    return field(a, 16) + field(b, 10) + field(c, 2) + field(d, 2)
def header(cols, rows_, flag):
    return field(str(cols), 16) + field(str(rows_), 10) + (b"1" if flag else b"0") + b"\0\0\0"
def write(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
write("MO_IP.log", header(1, 1, 0) + b"".join(record(a, m, "", i) for a, m, i in rows))
pairs = [p.split(":") for p in serial.split(",")]
write("MO_ID.log", header(1, 1, 0) + b"".join(record("", m, "", i) for m, i in pairs))
wall = rows[:6]
write("MO_Tiling.log", header(3, 2, 1) + b"".join(record(a, m, str(k + 1), i) for k, (a, m, i) in enumerate(wall)))
PY

cat <<TXT
Demo displays are running:
$(for row in "${lan[@]}"; do read -r a m i <<<"$row"; printf '  LAN      %-10s %-9s ID %s\n' "$a" "$m" "$i"; done)
  RS-232   $pty  (IDs ${serial//,/ }) - already in the COM port box: choose "RS-232", press "Open"
Working directory: $demo_dir
Frame trace: $demo_dir/trace.log
"IP Scan" covers only 127.0.0.2 to 127.0.0.9 here.
TXT

cd "$demo_dir"
# The scan is held to the demo's own displays, and the COM port box starts on its line.
"$tool" --demo --scan-range 127.0.0.2-127.0.0.9 --port "$pty" --list "$demo_dir" \
  --trace "$demo_dir/trace.log" "$@"
