#!/usr/bin/env bash
# Limits per source address, on loopback (all of 127.0.0.0/8 reaches the
# server; lib/peers.py binds to the source address it is given). While a real
# monitor reports from 127.0.0.1: a flood of silent connections from
# 127.0.0.2 gets 64 of them held, the rest closed at once; 10,000 fake
# machines from 127.0.0.2 leave room for a new real monitor; a machine
# finishing units fast has 4 a minute stored. Then --allow 127.0.0.1/32
# refuses 127.0.0.2, --per-address-limit 4 holds, and malformed records are
# counted exactly but logged once.
# Usage: limits_test.sh <vigilon_server> <vigilon> <client_simulator> <source-dir>
set -euo pipefail
server_bin=$(realpath "$1") monitor_bin=$(realpath "$2") simulator_bin=$(realpath "$3")
source_dir=$(realpath "$4")
declare -A monitor_pid
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/harness.sh"

# Runs the Python on stdin with lib/peers.py imported and `web` set.
peers() {
    python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); from peers import *
web = sys.argv[2]; exec(sys.stdin.read())' "$here/lib" "$web"
}
log_lines() { grep -c -- "$1" "$work/server.err" || true; }

lock_companion_port
start_server --listen 127.0.0.1
start_monitor 3
wait_until 20 machines_match 'assert machines[3]["online"]' || fail "monitor 3 is not shown"

peers <<'PYTHON' || fail "a flood of silent connections held up the monitor"
import resource, time
soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
count = min(5000, hard - 100)  # more than the server's 4096 in all
flood = [connect("127.0.0.2") for _ in range(count)]
held = sum(greeted(peer) for peer in flood)
assert held == 64, "%d of the flood held" % held
before = machines(web)["127.0.0.1-3"]["lastSeen"]
assert exchange("127.0.0.1", record(40)) == 0, "a new machine's record was not answered"
time.sleep(1.5)
assert machines(web)["127.0.0.1-3"]["lastSeen"] > before, "monitor 3 stopped reporting"
refused = api(web, "/api/stats")["refused"]
assert refused == count - 64, refused
print("limits: %d silent connections from 127.0.0.2: 64 held, %d refused; "
      "127.0.0.1 still reports" % (count, refused))
PYTHON

peers <<'PYTHON' || fail "10,000 fake machines from one address"
from concurrent.futures import ThreadPoolExecutor
def fake(cpu):
    return exchange("127.0.0.2", record(cpu))
with ThreadPoolExecutor(8) as pool:
    replies = list(pool.map(fake, range(1001, 11001)))
assert replies.count(0) == 64 and replies.count(None) == 10000 - 64, "answered: %d" % replies.count(0)
assert api(web, "/api/stats")["overMachineLimit"] == 10000 - 64
fakes = [m for m in machines(web).values() if m["address"] == "127.0.0.2"]
assert len(fakes) == 64, len(fakes)
print("limits: 10,000 fake machines from 127.0.0.2: 64 kept, the rest dropped and counted")
PYTHON
[ "$(log_lines "dropped a record from 127.0.0.2")" = 1 ] || fail "the dropped records were logged more than once"
start_monitor 5
wait_until 20 machines_match 'assert machines[5]["online"] and machines[3]["online"]' ||
    fail "a new real monitor was kept out"
echo "limits: a new real monitor from 127.0.0.1 is taken beside them"

peers <<'PYTHON' || fail "units finished fast were all stored"
for count in range(1, 8):  # six units finish within seconds
    assert exchange("127.0.0.3", record(7, count)) == 0
units = [u for u in api(web, "/api/history?days=1")["units"] if u["machine"] == "127.0.0.3-7"]
assert len(units) == 4, len(units)
assert api(web, "/api/stats")["unitsOverRate"] >= 2
print("limits: of six units finished within a minute, four were stored")
PYTHON

for cpu in 3 5; do
    kill -TERM "${monitor_pid[$cpu]}"
    await_exit "${monitor_pid[$cpu]}" 10 || fail "monitor $cpu did not stop"
done
stop_server
start_server --listen 127.0.0.1 --allow 127.0.0.1/32 --per-address-limit 4
peers <<'PYTHON' || fail "--allow or --per-address-limit did not hold, or malformed records"
import time
assert not greeted(connect("127.0.0.2")), "127.0.0.2 was let in"
held = [connect("127.0.0.1") for _ in range(10)]
assert sum(greeted(peer) for peer in held) == 4
for peer in held:
    peer.close()
time.sleep(0.5)
assert exchange("127.0.0.1", record(41)) == 0, "127.0.0.1 was not let in"
for _ in range(50):
    assert exchange("127.0.0.1", "not a record") is None
stats = api(web, "/api/stats")
assert stats["refused"] == 1 + 6 and stats["malformed"] == 50 and stats["records"] == 1, stats
print("limits: --allow 127.0.0.1/32 refused 127.0.0.2; --per-address-limit 4 held 4 of 10")
PYTHON
[ "$(log_lines "dropped a malformed record from 127.0.0.1")" = 1 ] ||
    fail "the malformed records were logged more than once"
grep -q "refused a connection from 127.0.0.2: not in --allow" "$work/server.err" ||
    fail "no line for the refused connection"
stop_server
echo "limits: 50 malformed records counted, logged once"
echo "limits: all checks passed"
