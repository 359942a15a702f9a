#!/usr/bin/env bash
# End to end: reporting. The built monitor, in silent mode in a temporary
# client folder, talks to tools/companion_server.py on 127.0.0.1:25876:
#  1. records at start-up and after every update, a stop command, then the
#     final record, exit code 0 and the log's shutdown block;
#  2. a unit change reaching the server, stopped by the server once it sees
#     the new unit; where a private /etc/hosts can be mounted (root and
#     unshare), the finished unit also reaches tools/stats_site.py as the
#     statistics site on port 80;
#  3. a server that accepts and stays silent holds the monitor no longer
#     than the time limit of one step.
# Usage: reporting.sh <vigilon> <client_simulator> <source-dir>
set -euo pipefail
# Silent mode needs no display; without one the notices go to stderr.
unset DISPLAY
vigilon=$1 source=$3
tools="$source/tools"
work=$(mktemp -d "${TMPDIR:-/tmp}/vigilon-reporting.XXXXXX")
# shellcheck source=lib/client_run.sh
. "$(dirname "$0")/lib/client_run.sh"

# --- 1. Start-up and updates, stop command, final record -------------------
one="$work/one"
make_client_folder "$one" 'cpunum 2\nfhlog 1\nstats 1\nnowin 1\nipadd 127.0.0.1\n'
start_peer companion1 "$tools/companion_server.py" --address 127.0.0.1 --port 25876 \
    --script 0,0,0,1 --count 5 --greeting-size 600 --log "$work/one.jsonl" ||
    fail "companion server did not start (port 25876 busy?)"
companion_pid=$peer_pid
status=0
(cd "$one/FAH/vigilon" && exec "${monitor_env[@]}" timeout 60 "$vigilon") >"$work/monitor1.out" 2>&1 ||
    status=$?
[ "$status" -eq 0 ] || fail "scenario 1: exit code $status"
await_exit "$companion_pid" 15 || fail "scenario 1: the server did not see five connections"
check_records "$work/one.jsonl" '
assert len(records) == 5, "five connections"
for index, record in enumerate(records):
    f = record["fields"]
    assert record["bytes"] == 2048, "whole messages"
    assert f is not None, "thirteen fields"
    assert (f["cpu_number"], f["unit_count"], f["progress_percent"], f["unit_name"]) == \
        ("2", "1", "12", "p2665_IBX"), "unit fields"
    assert re.fullmatch(r"\d+\.\d{6}", f["cpu_mhz"]), "clock"
    assert (f["core_name"], f["unit_frames"], f["unit_points"]) == ("GRO-SMP", "100", "1920")
    assert (f["user_name"], f["team_number"], f["tray_mode"]) == ("TomJ", "33", "0")
    assert f["monitor_closing"] == ("1" if index == 4 else "0"), "closing flag"
for record in records:
    assert record["extension"] == "VGX1 source=file ctl=0", "the extension for our own server"
for record in records[:4]:
    # the 600-byte greeting shows behind the record, its zero byte and the extension
    assert record["tail_bytes"] == 600 - len(record["record"]) - 1, "greeting tail"
assert records[4]["tail_bytes"] == len(records[4]["extension"]), \
    "the final record goes over the cleared reply"
assert [r["reply"] for r in records[:4]] == [0, 0, 0, 1]
'
log1="$one/FAH/vigilon/vigilon_log.txt"
grep -q "^Vigilon v1.1 - a Folding@home companion$" "$log1" || fail "scenario 1: no banner"
grep -q "^Vigilon stats after shutdown$" "$log1" || fail "scenario 1: no shutdown block"
grep -q "^Total WUs completed: 0$" "$log1" || fail "scenario 1: unit count in the log"
echo "scenario 1: start-up and 3 update records, stop command, final record, exit code 0"

# --- 2. A unit change, and the statistics site where it can be reached -----
site_check="skipped"
if site_hosts_possible; then
    if start_peer site "$tools/stats_site.py" --address 127.0.0.1 --port 80 \
        --body "<html>Vantor thanks TomJ</html>" --log "$work/site.jsonl"; then
        site_check="on"
        site_pid=$peer_pid
    else
        site_reason="port 80 unavailable"
    fi
fi

two="$work/two"
settings='cpunum 2\nfhlog 1\nstats 1\nnowin 1\nipadd 127.0.0.1\n'
[ "$site_check" = on ] && settings+='vant! 1\n'
make_client_folder "$two" "$settings"
start_peer companion2 "$tools/companion_server.py" --address 127.0.0.1 --port 25876 \
    --reply 0 --stop-on p4744_lam5w_300K --log "$work/two.jsonl" ||
    fail "companion server did not start"
companion_pid=$peer_pid
if [ "$site_check" = on ]; then
    start_monitor_with_site "$two" "$vigilon" 90 "$work/monitor2.out"
else
    (cd "$two/FAH/vigilon" && exec "${monitor_env[@]}" timeout 90 "$vigilon") >"$work/monitor2.out" 2>&1 &
    monitor_pid=$!
    started_pids+=("$monitor_pid")
fi
wait_until 20 line_count_at_least "$work/two.jsonl" 3 || fail "scenario 2: no records"
write_unit_file "$two" "p4744_lam5w_300K" "P4744R0C12G30" 0
await_exit "$monitor_pid" 60 || fail "scenario 2: the monitor did not stop"
[ "$ended_status" -eq 0 ] || fail "scenario 2: exit code $ended_status"
wait_until 10 grep -q '"monitor_closing": "1"' "$work/two.jsonl" || fail "scenario 2: no final record"
check_records "$work/two.jsonl" '
fields = [r["fields"] for r in records]
assert all(f is not None for f in fields)
before = [f for f in fields if f["unit_name"] == "p2665_IBX"]
after = [f for f in fields if f["unit_name"] == "p4744_lam5w_300K"]
assert len(before) >= 3 and len(after) == 2, "records before and after the change"
assert fields[:len(before)] == before, "the old unit first"
assert all(f["unit_count"] == "1" for f in before) and all(f["unit_count"] == "2" for f in after)
assert (after[0]["core_name"], after[0]["unit_points"], after[0]["progress_percent"]) == \
    ("GROGPU2", "548", "0"), "the new unit looked up"
assert [f["monitor_closing"] for f in after] == ["0", "1"], "stop, then the final record"
assert records[-2]["reply"] == 1
'
log2="$two/FAH/vigilon/vigilon_log.txt"
grep -Eq "^p2665_IBX completed in [0-9]+\.[0-9]{6} minutes on " "$log2" || fail "scenario 2: completed line"
grep -q "^Beginning process for p4744_lam5w_300K on " "$log2" || fail "scenario 2: beginning line"
grep -q "^Vigilon stats after shutdown$" "$log2" || fail "scenario 2: no shutdown block"
stop_peer "$companion_pid"
echo "scenario 2: the unit change reached the companion server, stopped on it, exit code 0"

if [ "$site_check" = on ]; then
    wait_until 10 line_count_at_least "$work/site.jsonl" 1 || fail "scenario 2: no request at the site"
    python3 - "$work/site.jsonl" <<'PYTHON' || fail "scenario 2: the site's request"
import json, re, sys
requests = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
assert len(requests) == 1, requests
request = requests[0]
value = r"[A-Za-z0-9._~%-]*"
path = (r"/folding/unitstats\.php\?username=TomJ&team=33&cpu=3&wucount=1"
        r"&cpuvendor=" + value + r"&cpustring=" + value + r"&cpumhz=\d+"
        r"&frametime=\d+\.\d{6}&protein=p2665_IBX&core=GRO-SMP&memory=\d+")
assert re.fullmatch(path, request["path"]), request["path"]
assert request["request_line"] == "GET " + request["path"] + " HTTP/1.1", request["request_line"]
assert request["user_agent"] == "lcc WinHTTP/1.0", request["user_agent"]
assert request["host"] == "stats.vantor.net", request["host"]
PYTHON
    grep -qx "<html>Vantor thanks TomJ</html>" "$two/FAH/vigilon/Vantor.html" ||
        fail "scenario 2: the site's answer was not saved"
    grep -q "^Submitting data to stats.vantor.net...$" "$log2" || fail "scenario 2: submission line"
    stop_peer "$site_pid"
    echo "scenario 2: the finished unit reached the statistics site; its answer was saved"
else
    echo "scenario 2: statistics site check skipped ($site_reason)"
fi

# --- 3. A silent server holds the monitor one step's time limit at most ----
three="$work/three"
make_client_folder "$three" 'fhlog 1\nstats 1\nnowin 1\nipadd 127.0.0.1\n'
start_peer companion3 "$tools/companion_server.py" --address 127.0.0.1 --port 25876 \
    --silent --timeout 40 --log "$work/three.jsonl" || fail "companion server did not start"
(cd "$three/FAH/vigilon" && exec "${monitor_env[@]}" timeout 90 "$vigilon") >"$work/monitor3.out" 2>&1 &
monitor_pid=$!
started_pids+=("$monitor_pid")
# The first exchange waits for a greeting that never comes; after the limit
# (10 s) the monitor gives up, closes, and the next update connects again.
wait_until 25 line_count_at_least "$work/three.jsonl" 1 ||
    fail "scenario 3: the monitor stayed on the silent connection"
wait_until 15 grep -q "^connection 2 " "$work/companion3.out" || fail "scenario 3: no second connection"
kill -TERM "$monitor_pid"
await_exit "$monitor_pid" 15 || fail "scenario 3: the monitor did not end after SIGTERM"
[ "$ended_status" -eq 0 ] || fail "scenario 3: exit code $ended_status"
grep -q "^Vigilon stats after shutdown$" "$three/FAH/vigilon/vigilon_log.txt" ||
    fail "scenario 3: no shutdown block"
echo "scenario 3: a silent server held the monitor only until the time limit"
echo "reporting: all scenarios passed"
