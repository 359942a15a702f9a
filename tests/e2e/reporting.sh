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
started_pids=()

cleanup() {
    local pid
    for pid in "${started_pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "${started_pids[@]}"; do
        timeout 10 tail --pid="$pid" -f /dev/null 2>/dev/null || kill -KILL "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    local file
    for file in "$work"/*.out "$work"/*.jsonl "$work"/*/FAH/vigilon/vigilon_log.txt; do
        [ -f "$file" ] && { echo "--- $file"; head -c 4000 "$file"; echo; }
    done
    exit 1
}

# Runs a test command every 0.1 s until it succeeds; fails after $1 seconds.
wait_until() {
    local seconds=$1
    shift
    local tries=$((seconds * 10))
    while [ "$tries" -gt 0 ]; do
        "$@" && return 0
        sleep 0.1
        tries=$((tries - 1))
    done
    return 1
}

line_count_at_least() { [ -f "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ]; }

# Waits at most $2 seconds for process $1 to end; its exit code goes to
# ended_status.
await_exit() {
    timeout "$2" tail --pid="$1" -f /dev/null || return 1
    ended_status=0
    wait "$1" || ended_status=$?
}

# Starts a peer in the background and waits until it listens.
start_peer() {
    local name=$1
    shift
    timeout 300 python3 "$@" >"$work/$name.out" 2>&1 &
    started_pids+=($!)
    peer_pid=$!
    wait_until 10 grep -q "^listening on" "$work/$name.out"
}

# Ends a peer this script started and waits for it (bounded).
stop_peer() {
    kill -TERM "$1" 2>/dev/null || true
    await_exit "$1" 10 || fail "peer $1 did not end"
}

# A client folder FAH/ with the client's files and the monitor's folder
# FAH/vigilon/ holding its settings and protein database.
make_client_folder() {
    local folder=$1 settings=$2
    mkdir -p "$folder/FAH/vigilon"
    write_unit_file "$folder" "p2665_IBX in water" "P2665R2C41G150" 12
    printf '%s\n' "[settings]" "username=TomJ" "team=33" "passkey=" "asknet=no" \
        "machineid=3" "bigpackets=normal" "local=12" "" "[http]" "active=no" \
        "host=localhost" "port=8080" "" "[core]" "priority=96" \
        "disableassembly=no" >"$folder/FAH/client.cfg"
    # Records of database.txt: project, name, atoms, preferred and final
    # deadline (days), points, frames, core.
    printf '%s\n' "2665 p2665_IBX_in_water 14170 6 6 1920 100 GRO-SMP" \
        "4744 p4744_lam5w_300K 1254 2 3 548 100 GROGPU2" >"$folder/FAH/vigilon/database.txt"
    printf "%b" "$settings" >"$folder/FAH/vigilon/vigilon.ini"
}

# Rewrites ../unitinfo.txt as the client does (CR LF), replacing it whole.
write_unit_file() {
    local folder=$1 name=$2 tag=$3 percent=$4
    printf '%s\r\n' "Current Work Unit" "-----------------" "Name: $name" "Tag: $tag" \
        "Download time: November 19 05:56:56" "Due time: November 25 05:56:56" \
        "Progress: $percent%  [|_________]" >"$folder/FAH/unitinfo.new"
    mv "$folder/FAH/unitinfo.new" "$folder/FAH/unitinfo.txt"
}

# Checks the companion server's JSON log with the Python statements in $2;
# "records" is the list of logged connections.
check_records() {
    python3 - "$1" "$2" <<'PYTHON' || fail "records of $1"
import json, re, sys
records = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
try:
    exec(sys.argv[2], {"records": records, "re": re})
except AssertionError as error:
    print("assertion failed:", error)
    for record in records:
        print(record)
    sys.exit(1)
PYTHON
}

monitor_env=(env -u http_proxy -u HTTP_PROXY -u https_proxy -u HTTPS_PROXY -u all_proxy -u ALL_PROXY)

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
for record in records[:4]:
    # the 600-byte greeting shows behind the record and its zero byte
    assert record["tail_bytes"] == 600 - len(record["record"]) - 1, "greeting tail"
assert records[4]["tail_bytes"] == 0, "the final record goes over the cleared reply"
assert [r["reply"] for r in records[:4]] == [0, 0, 0, 1]
'
log1="$one/FAH/vigilon/vigilon_log.txt"
grep -q "^Vigilon v1.1 - a Folding@home companion$" "$log1" || fail "scenario 1: no banner"
grep -q "^Vigilon stats after shutdown$" "$log1" || fail "scenario 1: no shutdown block"
grep -q "^Total WUs completed: 0$" "$log1" || fail "scenario 1: unit count in the log"
echo "scenario 1: start-up and 3 update records, stop command, final record, exit code 0"

# --- 2. A unit change, and the statistics site where it can be reached -----
site_check="skipped"
site_reason=""
if [ "$(id -u)" -ne 0 ]; then
    site_reason="not root"
elif ! command -v unshare >/dev/null || ! unshare -m --propagation private true 2>/dev/null; then
    site_reason="unshare -m unavailable"
elif ! start_peer site "$tools/stats_site.py" --address 127.0.0.1 --port 80 \
    --body "<html>Vantor thanks TomJ</html>" --log "$work/site.jsonl"; then
    site_reason="port 80 unavailable"
else
    site_check="on"
    site_pid=$peer_pid
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
    # The site's host name resolves to 127.0.0.1 for the monitor only: a
    # private /etc/hosts in a mount namespace of its own.
    printf '127.0.0.1\tlocalhost\n127.0.0.1\tstats.vantor.net\n' >"$work/hosts"
    # shellcheck disable=SC2016 # the inner shell expands its own arguments
    (cd "$two/FAH/vigilon" && exec "${monitor_env[@]}" timeout 90 unshare -m --propagation private \
        sh -c 'mount --bind "$1" /etc/hosts && exec "$2"' sh "$work/hosts" "$vigilon") \
        >"$work/monitor2.out" 2>&1 &
else
    (cd "$two/FAH/vigilon" && exec "${monitor_env[@]}" timeout 90 "$vigilon") >"$work/monitor2.out" 2>&1 &
fi
monitor_pid=$!
started_pids+=("$monitor_pid")
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
        r"&frametime=\d+\.\d{6}&protein=p2665_IBX&core=GROGPU2&memory=\d+")
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
