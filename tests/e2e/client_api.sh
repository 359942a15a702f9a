#!/usr/bin/env bash
# End to end: the built monitor, silent, follows tools/fake_client.py over the
# client's API. 1. Found on 7396 without unit file or clapi line; progress
# reported; a restarted client (8.3) found again without a log entry; a new
# unit logged and submitted once. 2. clapi HOST:PORT wins over a unit file;
# hostile messages survived; SIGTERM during a handshake that never ends.
# 3. clapi 0, or no API at 7396, without a unit file: the notice, exit code 0.
# 4. clgrp NAME follows that group's unit.
# Usage: client_api.sh <vigilon> <client_simulator> <source-dir>
set -euo pipefail
unset DISPLAY # silent mode needs none; without one the notices go to stderr
vigilon=$(realpath "$1") tools="$3/tools"
work=$(mktemp -d "${TMPDIR:-/tmp}/vigilon-clapi.XXXXXX")
# shellcheck source=lib/client_run.sh
. "$(dirname "$0")/lib/client_run.sh"
client_python=/usr/bin/python3 client_pid="" # with python3-websockets

# Ends the fake client, if one runs, and starts another as $1 (output
# $work/$1.out) with the options that follow; sets client_pid, client_port.
start_client() {
    local name=$1
    shift
    [ -z "$client_pid" ] || stop_peer "$client_pid"
    timeout 300 "$client_python" "$tools/fake_client.py" "$@" >"$work/$name.out" 2>&1 &
    client_pid=$!
    started_pids+=("$client_pid")
    wait_until 10 grep -qs "^listening on" "$work/$name.out" ||
        fail "fake client $name did not start (port busy?)"
    client_port=$(sed -n 's/^listening on //p' "$work/$name.out")
}

# Writes to $1 the fake client's default state changed by Python code $2.
make_state() {
    "$client_python" - "$tools" "$1" "$2" <<'PYTHON'
import json, sys
sys.path.insert(0, sys.argv[1])
from fake_client import default_state, make_unit
state = default_state()
exec(sys.argv[3])
json.dump(state, open(sys.argv[2], "w"))
PYTHON
}

# Starts the monitor in client folder $1 (output $work/$2.out, environment
# settings may follow); its pid is monitor_pid.
start_monitor() {
    local folder=$1 name=$2
    shift 2
    (cd "$folder/FAH/vigilon" && exec "${monitor_env[@]}" "$@" timeout 240 "$vigilon") \
        >"$work/$name.out" 2>&1 &
    monitor_pid=$!
    started_pids+=("$monitor_pid")
}

# SIGTERM to the monitor of scenario $1: it ends within $2 s with exit code 0.
stop_monitor() {
    kill -TERM "$monitor_pid"
    await_exit "$monitor_pid" "$2" || fail "scenario $1: still running $2 s after SIGTERM"
    [ "$ended_status" -eq 0 ] || fail "scenario $1: exit code $ended_status"
}

monitor_runs() { kill -0 "$monitor_pid" 2>/dev/null || fail "the monitor ended"; }
# Whether the companion log $1 has a record of unit $2 at percent $3.
record_seen() { grep -q "\"progress_percent\": \"$3\".*\"unit_name\": \"$2\"" "$1"; }
stamp='[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}'
first=p18213_R0_C12_G34 second=p18494_R3_C45_G6

# --- 1. Found on the default port, followed through a restart and a unit change
one="$work/one" records="$work/one.jsonl" log1="$work/one/FAH/vigilon/vigilon_log.txt"
make_client_folder "$one" 'cpunum 2\nfhlog 1\nstats 1\nnowin 1\nipadd 127.0.0.1\nvant! 1\n'
rm "$one/FAH/unitinfo.txt"
start_peer companion "$tools/companion_server.py" --address 127.0.0.1 --port 25876 \
    --log "$records" || fail "companion server did not start (port 25876 busy?)"
start_peer site "$tools/stats_site.py" --address 127.0.0.1 --port 0 --log "$work/site.jsonl" ||
    fail "statistics site did not start"
site_port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/site.out")
printf '%s\n' '{"sleep": 1}' '{"ping": true}' '["units", 0, "wu_progress", 0.437]' \
    '["units", 0, "eta", "1 hours 41 mins"]' >"$work/progress.jsonl"
start_client client1 --script "$work/progress.jsonl"
start_monitor "$one" monitor1 -u no_proxy -u NO_PROXY http_proxy="http://127.0.0.1:$site_port"
wait_until 10 grep -qs "^Continuing process at 12% for $first on " "$log1" ||
    fail "scenario 1: no start entry for the client's unit"
! grep -q "Cannot locate" "$work/monitor1.out" || fail "scenario 1: the missing-file notice"
wait_until 15 record_seen "$records" "$first" 43 || fail "scenario 1: progress not reported"
grep -q "^connection 2" "$work/client1.out" && fail "scenario 1: connected again after a ping"

# The client stops for a few updates, then comes back as 8.3 with the same unit.
stop_peer "$client_pid"
sleep 1
monitor_runs
make_state "$work/older.json" 'state["info"]["version"] = "8.3.18"; unit = state["units"][0]
del unit["wu_progress"]; unit["progress"] = 0.6'
start_client client2 --state "$work/older.json"
wait_until 15 record_seen "$records" "$first" 60 || fail "scenario 1: not found again"
[ "$(wc -l <"$log1")" -eq 4 ] || fail "scenario 1: a log entry for the same unit"

# A new unit: the old one uploads, the next one is added and runs, the old
# one is removed, so that the new one moves to position 0.
make_state "$work/next.json" 'state = make_unit(8, 18494, "0xa8", 9020.0, 3, 45, 6, state="DOWNLOAD")'
printf '%s\n' '["units", 0, "state", "UPLOAD"]' "[\"units\", -1, $(cat "$work/next.json")]" \
    '["units", 1, "state", "RUN"]' '["units", 0, null]' '["units", 0, "wu_progress", 0.05]' \
    >"$work/change.jsonl"
start_client client3 --script "$work/change.jsonl"
wait_until 15 record_seen "$records" "$second" 5 || fail "scenario 1: the new unit not reported"
sleep 1 # further updates: the change must stay one change
monitor_runs
grep -q '"unit_count": "3"' "$records" && fail "scenario 1: counted twice"
entry="$first completed in [0-9]+\.[0-9]{6} minutes on $stamp#100 frames total#Average frame"
entry+=" time: [0-9]+\.[0-9]{6} minutes per frame#Submitting data to stats\.vantor\.net\.\.\.#"
tail -n +5 "$log1" | paste -sd '#' | grep -Eqx "$entry""Beginning process for $second on $stamp" ||
    fail "scenario 1: the log's unit entry"
wait_until 10 line_count_at_least "$work/site.jsonl" 1 || fail "scenario 1: no submission"
check_records "$work/site.jsonl" "
from urllib.parse import parse_qs, urlsplit
assert len(records) == 1, 'one submission'
url = urlsplit(records[0]['path'])
query = {k: v[0] for k, v in parse_qs(url.query).items()}
assert (url.netloc, url.path) == ('stats.vantor.net', '/folding/unitstats.php'), url
assert (query['protein'], query['core'], query['wucount']) == ('$first', '0xa8', '1'), query
"
stop_monitor 1 15
grep -q "^Total WUs completed: 1$" "$log1" || fail "scenario 1: shutdown block"
wait_until 10 grep -q '"monitor_closing": "1"' "$records" || fail "scenario 1: no final record"
check_records "$records" "
f = [r['fields'] for r in records]
assert all(x is not None for x in f), 'thirteen fields'
assert (f[0]['unit_name'], f[0]['progress_percent'], f[0]['unit_count']) == ('$first', '12', '1')
assert (f[0]['core_name'], f[0]['unit_points'], f[0]['unit_frames']) == ('0xa8', '12345', '100')
percents = [x['progress_percent'] for x in f if x['unit_name'] == '$first']
assert '60' in percents and percents.index('43') < percents.index('60'), 'progress in order'
new = [x for x in f if x['unit_name'] == '$second']
assert new and all(x['unit_count'] == '2' for x in new), 'the new unit counted once'
assert (new[-1]['core_name'], new[-1]['unit_points']) == ('0xa8', '9020')
"

# --- 2. clapi HOST:PORT over a unit file; hostile messages; a silent client
two="$work/two" log2="$work/two/FAH/vigilon/vigilon_log.txt"
start_client client4 --port 0
make_client_folder "$two" "fhlog 1\nnowin 1\nclapi 127.0.0.1:$client_port\n"
start_monitor "$two" monitor2
wait_until 10 grep -qs "^Continuing process at 12% for $first on " "$log2" ||
    fail "scenario 2: the client's unit not followed"
grep -q "p2665" "$log2" && fail "scenario 2: the unit file was read"
# Malformed JSON, 2 MiB, a project as text, a path into nothing, 10000-deep
# nesting: each from a client of its own that then closes the connection,
# so the monitor has read it once it connects again.
deep=$(printf '%*s' 10000 '' | tr ' ' '[')$(printf '%*s' 10000 '' | tr ' ' ']')
hostile=('{"raw": "{\"units\": [{\"id\": \"x\", "}' '{"big": 2097152}'
    '["units", 0, "assignment", "project", "18213"]' '["units", 9, "wu_progress", 0.5]'
    "{\"raw\": \"[\\\"units\\\", 0, \\\"wu\\\", $deep]\"}")
for number in "${!hostile[@]}"; do
    printf '%s\n' "${hostile[$number]}" '{"disconnect": true}' >"$work/hostile$number.jsonl"
    start_client "hostile$number" --port "$client_port" --script "$work/hostile$number.jsonl"
    wait_until 20 grep -q "^connection 2 opened" "$work/hostile$number.out" ||
        fail "scenario 2: no connection after hostile message $number"
    monitor_runs
done
make_state "$work/good.json" \
    'state["units"] = [make_unit(9, 18300, "0xa8", 800.0, 1, 2, 3, progress=0.3)]'
start_client good --port "$client_port" --state "$work/good.json"
wait_until 15 grep -Eq "^Beginning process for p18300_R1_C2_G3 on $stamp\$" "$log2" ||
    fail "scenario 2: the good client's unit not followed after the hostile ones"
start_client silent --port "$client_port" --mode silent
wait_until 15 grep -q "^connection 1 opened" "$work/silent.out" || fail "scenario 2: no connection"
sleep 0.5 # inside the handshake's wait
stop_monitor 2 5
grep -q "^Vigilon stats after shutdown$" "$log2" || fail "scenario 2: no shutdown block"

# --- 3. No unit file: clapi 0, and no API found
three="$work/three"
make_client_folder "$three" 'fhlog 1\nnowin 1\nclapi 0\n'
rm "$three/FAH/unitinfo.txt"
# Runs the monitor there to its end: the notice on stderr, exit code 0.
run_to_notice() {
    local status=0
    (cd "$three/FAH/vigilon" && exec "${monitor_env[@]}" timeout 20 "$vigilon") \
        >"$work/$1.out" 2>"$work/$1.err" || status=$?
    [ "$status" -eq 0 ] || fail "scenario 3, $1: exit code $status"
    grep -q "Cannot locate unitinfo.txt file" "$work/$1.err" || fail "scenario 3, $1: no notice"
}
start_client client5
run_to_notice clapi0
[ ! -e "$three/FAH/vigilon/vigilon_log.txt" ] || fail "scenario 3: log written"
grep -q "^connection" "$work/client5.out" && fail "scenario 3: clapi 0 connected to the client"
sed -i '/^clapi/d' "$three/FAH/vigilon/vigilon.ini"
start_client http --mode http
run_to_notice no_api
grep -q "^connection 1 opened" "$work/http.out" || fail "scenario 3: the API was not tried"

# --- 4. clgrp: only the units of one group
four="$work/four"
make_state "$work/groups.json" 'state["groups"]["gpu"] = {"config": {"cpus": 0, "paused": False, "finish": False}, "state": "run"}
state["units"].append(dict(make_unit(8, 18494, "0x23", 9020.0, 3, 45, 6, progress=0.25), group="gpu"))'
start_client groups --port 0 --state "$work/groups.json"
make_client_folder "$four" "fhlog 1\nnowin 1\nclapi 127.0.0.1:$client_port\nclgrp gpu\n"
start_monitor "$four" monitor4
wait_until 10 grep -qs "^Continuing process at 25% for $second on " "$four/FAH/vigilon/vigilon_log.txt" ||
    fail "scenario 4: the unit of group gpu not followed"
stop_monitor 4 15
grep -q "$first" "$four/FAH/vigilon/vigilon_log.txt" && fail "scenario 4: a unit of another group"
echo "client_api: all scenarios passed"
