#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/<target>/ from known-good frames and files.
Run again after changing it; the fuzzers add their own finds beside these in build/."""
import hashlib
import os
import re
import struct

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(here)
corpus = os.path.join(here, "corpus")


def put(target, data):
    d = os.path.join(corpus, target)
    os.makedirs(d, exist_ok=True)
    name = "seed-" + hashlib.sha1(data).hexdigest()[:12]
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def xor(bs):
    c = 0
    for b in bs:
        c ^= b
    return c


def reply(cmd, data, mid=1):
    body = bytes([0x21, mid, 0, 0, 0, 1, cmd]) + bytes(data) + b"\0"
    body = bytearray(body)
    body[4] = len(body) - 5
    body[-1] = xor(body[:-1])
    return bytes(body)


def request(cmd, data, mid=1):
    body = bytearray([0xA6, mid, 0, 0, 0, 0, 1, cmd]) + bytes(data) + b"\0"
    body[5] = len(body) - 6
    body[-1] = xor(body[:-1])
    return bytes(body)


# Replies quoted in the protocol tests.
hexes = set()
for sub in ("protocol", "transport", "discovery"):
    d = os.path.join(root, "tests", sub)
    if not os.path.isdir(d):
        continue
    for n in sorted(os.listdir(d)):
        if n.endswith(".cpp"):
            text = open(os.path.join(d, n), encoding="utf-8").read()
            hexes.update(re.findall(r'"((?:21|A6)(?: [0-9A-F]{2})+)"', text))
replies = sorted(bytes(int(x, 16) for x in h.split()) for h in hexes if h.startswith("21"))
replies += [reply(0x2F, [32, 0]), reply(0x0F, [0x04, 0xB0]), reply(0x31, [50, 0]),
            reply(0x33, [50, 1, 2, 3, 4, 5, 6]), reply(0x37, [255, 0, 128]),
            reply(0xA2, b"LM"), reply(0xA1, b"LM-55"), reply(0xA2, b"ORVANTE KA-55  "),
            reply(0x18, [1])[:9], reply(0x18, [3])[:9]]
# Model selectors: 0 (no model), and a few of the layouts.
for i, r in enumerate(replies):
    put("fuzz_replies", bytes([(i * 7) % 64]) + r)

# The flows' reply rule reads the bytes alone: the replies above, the four acknowledge
# statuses, a reply with bytes after its frame, a bad checksum and a request echoed back.
acks = [reply(0x18, [s]) for s in (0, 1, 3, 4)]
bad = bytearray(reply(0x2F, [32, 0]))
bad[-1] ^= 0xFF
for r in replies + acks + [acks[0] + b"\xDE\xAD", bytes(bad), request(0x18, [2])]:
    put("fuzz_link_reply", r)

ident = [(reply(0xA2, b"LM"), reply(0xA1, b"LM-55")), (reply(0xA2, b"KA-55 "), b""),
         (reply(0xA2, b"JSV-Q"), reply(0xA1, b"ORVANTE JSV-4301Q")), (reply(0xA2, b"ORV"), reply(0x18, [3])),
         (bytes([0x21, 1, 0, 0, 4, 1, 0xA2, 3, 0]), b""), (b"\x21\x01", b"")]
for first, second in ident:
    put("fuzz_identity", bytes([len(first)]) + first + second)

# List and tiling files: 30-byte records.
def rec(a=b"", m=b"", p=b"", i=b""):
    return a.ljust(16, b"\0")[:16] + m.ljust(10, b"\0")[:10] + p.ljust(2, b"\0")[:2] + i.ljust(2, b"\0")[:2]

lan_list = rec(b"1", b"1", b"0") + rec(b"127.0.64.2", b"LM-55", b"", b"1") + rec(b"127.0.64.3", b"KA-55", b"", b"2")
serial_list = rec(b"1", b"1", b"0") + rec(b"", b"LM-55", b"", b"1") + rec(b"", b"KC-46D", b"", b"25")
tiling = rec(b"3", b"2", b"1") + b"".join(rec(b"127.0.64.%d" % k, b"KA-55", b"%d" % k, b"%d" % k) for k in range(1, 7))
for t in ("fuzz_records", "fuzz_tiling"):
    for data in (lan_list, serial_list, tiling, tiling[:47], rec(b"-12", b" +7x", b"1"), b""):
        put(t, data)

# ICMP: selectors (target, identifier, same-source flag, source), then the datagram.
def ipv4(src, payload):
    h = bytearray(struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(payload), 1, 0, 64, 1, 0,
                              bytes(src), bytes([127, 0, 64, 1])))
    return bytes(h) + payload

def echo(t, ident, seq):
    p = bytearray(struct.pack("!BBHHH", t, 0, 0, 0, seq) + bytes(24))
    p[4:6] = struct.pack("=H", ident)
    s = sum(struct.unpack("!%dH" % (len(p) // 2), bytes(p)))
    while s >> 16:
        s = (s & 0xFFFF) + (s >> 16)
    p[2:4] = struct.pack("!H", ~s & 0xFFFF)
    return bytes(p)

src = [127, 0, 64, 9]
for t in (0, 8, 3):
    put("fuzz_icmp", bytes(src) + struct.pack("=H", 0x1234)[::-1] + b"\1" + bytes(src) + ipv4(src, echo(t, 0x1234, 1)))
    put("fuzz_icmp", bytes(src) + b"\x12\x34\x01" + bytes(src) + echo(t, 0x1234, 1))
put("fuzz_icmp", bytes(src) + b"\x12\x34\x00" + bytes(src) + bytes([0x46]) + bytes(40))

heading = b"IP address       HW type     Flags       HW address            Mask     Device\n"
arp = [b"127.0.64.5\n" + heading + b"127.0.64.5       0x1         0x2         52:54:00:12:34:56     *        eth0\n",
       b"127.0.64.5\n" + heading + b"127.0.64.5       0x1         0x0         00:00:00:00:00:00     *        eth0\n",
       b"10.0.0\n" + heading,
       b"127.0.64.7\n" + heading + b"127.0.64.7\t0x1\t0x6\taa:bb:cc:dd:ee:ff\t*\tlo"]
for a in arp:
    put("fuzz_neighbour", a)

ip = b"127.0.64.250"
argv = [[b"send", b"on", b"--ip", ip], [b"send", b"hdmi1", b"--ip", ip, b"--model", b"LM-55", b"--id", b"3"],
        [b"frame", b"backlight", b"--model", b"KA-55", b"--level", b"-1"],
        [b"send", b"tiling", b"--model", b"KA-55", b"--matrix", b"3x2", b"--pos", b"4", b"--ip", ip],
        [b"send", b"gains", b"--rgb", b"255,0,128", b"--model", b"KA-55", b"--serial", b"/dev/pts/9", b"--id", b"2"],
        [b"query", b"temperature", b"--list", b"MO_IP.log", b"--mode", b"lan", b"--json", b"--parallel", b"4"],
        [b"raw", b"A6 01 00 00 00 04 01 18 02 B8", b"--ip", ip, b"-v"], [b"--help"], [b"send", b"--help"]]
for a in argv:
    put("fuzz_ctl_args", b"\0".join(a))

frames = request(0x18, [2]) + request(0x33, []) + request(0xA2, [1]) + request(0x36, [1, 2, 3])
for sel in (0x00, 0x88, 0x48, 0x10):
    put("fuzz_sim_frames", bytes([sel]) + b"\x07" + frames[:7] + b"\x40" + frames[7:])
put("fuzz_sim_frames", b"\x00\x3f" + b"\xA6\x01\x00\x00\x00\x02\x01" + request(0xFE, []) + b"\x12\xA6")

# dravik-exporter: probe query strings and target texts, and its YAML files.
for q in [b"target=127.0.0.5", b"target=display-7.example.org:5001@4&module=full&model=LM-55",
          b"target=%2Fdev%2FttyUSB0%403&module=default", b"target=/dev/pts/7", b"target=a&target=b",
          b"target=host%zz", b"module=x", b"127.0.0.1:5000@9"]:
    put("fuzz_probe_request", q)
for name in ("dravik-exporter.yml", "web-config.yml"):
    with open(os.path.join(root, "examples", name), "rb") as f:
        put("fuzz_exporter_config", f.read())
for y in [b"modules:\n  m:\n    reads: [temperature]\n    timeout: 1m30s\n",
          b"allowed_targets: [10.0.0.0/8, /dev/ttyS*]\n", b"modules: [\n",
          b"basic_auth_users:\n  alice: $2y$10$abcdefghijklmnopqrstuuABCDEFGHIJKLMNOPQRSTUVWXYZ01234\n"]:
    put("fuzz_exporter_config", y)
