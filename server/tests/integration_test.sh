#!/usr/bin/env bash
# Integration on loopback: three real monitors in silent mode, each beside a
# simulated client, report to the server on 127.0.0.1:25876. Checks the API's
# machines, commands (token required; stop, toggle and restart reach exactly
# the chosen monitor), the history, a silent and a malformed peer, a stop in
# order and a restart that keeps the history, and a corrupt database.
# Usage: integration_test.sh <vigilon_server> <vigilon> <client_simulator> <source-dir>
set -euo pipefail
server_bin=$(realpath "$1") monitor_bin=$(realpath "$2") simulator_bin=$(realpath "$3")
source_dir=$(realpath "$4")
declare -A monitor_pid
. "$(dirname "$0")/lib/harness.sh"

command_status() { # machine, command, token -> HTTP status
    api -o /dev/null -w '%{http_code}' -X POST -H "Authorization: Bearer $3" \
        -d "{\"command\": \"$2\"}" "http://$web/api/machines/127.0.0.1-$1/command"
}

lock_companion_port
start_server --listen 127.0.0.1
# Monitor 7 obeys the restart command through a fake systemctl that logs.
mkdir -p "$work/m7/bin"
printf '#!/bin/sh\necho "$@" >>"%s"\n' "$work/systemctl.log" >"$work/m7/bin/systemctl"
chmod +x "$work/m7/bin/systemctl"
start_monitor 3
start_monitor 5
start_monitor 7 'servc 1\nspath fah-client\n'

wait_until 20 machines_match '
assert sorted(machines) == [3, 5, 7]
for m in machines.values():
    assert m["online"] and not m["closed"] and m["pending"] is None
    assert m["id"] == "127.0.0.1-%d" % m["cpu"] and m["address"] == "127.0.0.1"
    assert m["user"] == "DemoFolder" and m["team"] == 1234567
    assert m["unit"].startswith("p") and m["core"] and m["points"] > 0 and m["frames"] > 0
    assert 0 <= m["progress"] <= 100 and m["unitCount"] >= 1
    assert m["lastSeen"].endswith("Z") and "eta" in m and "ppd" in m
' || fail "the API does not show the three monitors"
echo "three monitors shown with their fields"

# A silent peer and a malformed record hold nobody up.
python3 - "$web" <<'PYTHON' || fail "silent or malformed peers held the server"
import json, socket, sys, time, urllib.request
silent = [socket.create_connection(("127.0.0.1", 25876)) for _ in range(20)]
bad = socket.create_connection(("127.0.0.1", 25876))
bad.sendall(b"<script>" + b"\xff" * 3000)
bad.close()
def last_seen():
    with urllib.request.urlopen("http://%s/api/machines" % sys.argv[1], timeout=5) as r:
        return {m["cpu"]: m["lastSeen"] for m in json.load(r)}
before = last_seen()
time.sleep(1.5)
after = last_seen()
assert all(after[cpu] > before[cpu] for cpu in before), (before, after)
with urllib.request.urlopen("http://%s/api/stats" % sys.argv[1], timeout=5) as r:
    assert json.load(r)["malformed"] >= 1
PYTHON
echo "silent and malformed peers did not hold the monitors"

for credential in "" "wrong-token-0123456789" "${token}x"; do
    status=$(command_status 3 stop "$credential")
    [ "$status" = 401 ] || fail "a command with token '$credential' got $status"
done
[ "$(command_status 9 stop "$token")" = 404 ] || fail "an unknown machine was not refused"
echo "commands without the right token are refused"

[ "$(command_status 5 toggle "$token")" = 202 ] || fail "toggle not queued"
wait_until 10 machines_match '
assert machines[5]["trayMode"] and machines[5]["pending"] is None
assert not machines[3]["trayMode"] and not machines[7]["trayMode"]
' || fail "toggle did not reach monitor 5"
echo "toggle reached monitor 5 only"

[ "$(command_status 7 restart "$token")" = 202 ] || fail "restart not queued"
wait_until 20 grep -sqx -- "--no-ask-password start -- fah-client" "$work/systemctl.log" ||
    fail "restart did not reach monitor 7"
[ "$(head -n 1 "$work/systemctl.log")" = "--no-ask-password stop -- fah-client" ] ||
    fail "restart: stop did not come first"
echo "restart reached monitor 7: $(tr '\n' ';' <"$work/systemctl.log")"

[ "$(command_status 3 stop "$token")" = 202 ] || fail "stop not queued"
await_exit "${monitor_pid[3]}" 20 || fail "monitor 3 did not stop"
[ "$ended_status" -eq 0 ] || fail "monitor 3 ended with $ended_status"
wait_until 5 machines_match '
assert machines[3]["closed"] and not machines[3]["online"] and machines[3]["pending"] is None
assert machines[5]["online"] and machines[7]["online"]
' || fail "the stop did not close exactly monitor 3"
kill -0 "${monitor_pid[5]}" && kill -0 "${monitor_pid[7]}" || fail "another monitor stopped"
[ "$(command_status 3 stop "$token")" = 409 ] || fail "a command for a closed machine was taken"
echo "stop ended monitor 3 (exit 0, final record, shown closed); 5 and 7 still report"

history_matches() {
    api "http://$web/api/history?days=2" | python3 -c '
import json, sys
h = json.load(sys.stdin)
exec(sys.argv[1])' "$1" 2>/dev/null
}
wait_until 15 history_matches '
assert sum(d["units"] for d in h["days"]) >= 3 and len(h["days"]) == 2
assert sorted(c["command"] for c in h["commands"]) == ["restart", "stop", "toggle"]
' || fail "the history lacks units or commands"
units_before=$(api "http://$web/api/history?days=2" | python3 -c 'import json,sys; print(len(json.load(sys.stdin)["units"]))')

stop_server
grep -q "stopping on SIGTERM" "$work/server.err" || fail "no stop line"
start_server --listen 127.0.0.1:0
history_matches "assert len(h['units']) >= $units_before and len(h['commands']) == 3" ||
    fail "the history did not survive a restart"
stop_server
echo "the server stopped in order (exit 0) and kept its history across a restart"

head -c 4096 /dev/urandom >"$work/corrupt.db"
status=0
"$server_bin" --listen 127.0.0.1:0 --web 127.0.0.1:0 --db "$work/corrupt.db" >/dev/null \
    2>"$work/corrupt.err" 9>&- || status=$?
[ "$status" -eq 1 ] && grep -q "cannot use the database" "$work/corrupt.err" ||
    fail "a corrupt database was not refused ($status)"
echo "a corrupt database stops the server at start: $(cat "$work/corrupt.err")"
echo "integration: all checks passed"
