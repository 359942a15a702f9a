#!/usr/bin/env bash
# End to end: a stop request ends the monitor in order at any moment, also
# while a step waits on a peer that never answers:
#  1. SIGTERM during start-up, while the companion server has accepted the
#     connection but sends no greeting;
#  2. SIGTERM while the statistics site has taken the request of a finished
#     unit but sends no response (where the site's host name can be pointed
#     at 127.0.0.1: root and unshare).
# Each time the monitor must end within a few seconds (the step's own time
# limit is 10 s), with exit code 0, the log's shutdown block and a final
# status record at the companion server.
# Usage: stop_anytime.sh <vigilon> <client_simulator> <source-dir>
set -euo pipefail
unset DISPLAY
vigilon=$1 source=$3
tools="$source/tools"
peer="$(dirname "$0")/lib/quiet_peer.py"
work=$(mktemp -d "${TMPDIR:-/tmp}/vigilon-stop.XXXXXX")
# shellcheck source=lib/client_run.sh
. "$(dirname "$0")/lib/client_run.sh"

# Sends SIGTERM to the monitor and checks the orderly end: within $2
# seconds, exit code 0, the shutdown block in the log of folder $1, and a
# final record (closing flag 1) as the last entry of the companion log $3.
stop_and_check() {
    local folder=$1 limit=$2 records=$3 started ended
    started=$(date +%s%N)
    kill -TERM "$monitor_pid"
    await_exit "$monitor_pid" "$limit" || fail "the monitor did not end within $limit s of SIGTERM"
    ended=$(date +%s%N)
    [ "$ended_status" -eq 0 ] || fail "exit code $ended_status"
    grep -q "^Vigilon stats after shutdown$" "$folder/FAH/vigilon/vigilon_log.txt" ||
        fail "no shutdown block"
    # The peers log each connection when it ends, not always in order.
    wait_until 10 python3 -c '
import json, sys
last = max((json.loads(line) for line in open(sys.argv[1])), key=lambda c: c["connection"])
fields = (last.get("text") or last.get("record") or "").split(" ")
sys.exit(0 if len(fields) == 13 and fields[4] == "1" else 1)' "$records" || fail "no final record"
    stop_time_ms=$(((ended - started) / 1000000))
}

# --- 1. A companion server that never greets, during start-up --------------
one="$work/one"
make_client_folder "$one" 'fhlog 1\nstats 1\nnowin 1\nipadd 127.0.0.1\n'
start_peer quiet1 "$peer" --port 25876 --log "$work/one.jsonl" ||
    fail "the quiet companion server did not start (port 25876 busy?)"
(cd "$one/FAH/vigilon" && exec "${monitor_env[@]}" timeout 60 "$vigilon") >"$work/monitor1.out" 2>&1 &
monitor_pid=$!
started_pids+=("$monitor_pid")
wait_until 10 grep -q "^connection 1$" "$work/quiet1.out" || fail "scenario 1: no connection"
sleep 0.5 # well inside the wait for the greeting
grep -q "^Vigilon v1.1" "$one/FAH/vigilon/vigilon_log.txt" || fail "scenario 1: not started yet"
stop_and_check "$one" 5 "$work/one.jsonl"
stop_peer "$peer_pid"
echo "scenario 1: stopped while waiting for the greeting, in ${stop_time_ms} ms, exit code 0"

# --- 2. A statistics site that never answers --------------------------------
if ! site_hosts_possible; then
    echo "scenario 2: skipped ($site_reason)"
    exit 0
fi
start_peer site "$peer" --port 80 --log "$work/site.jsonl" || {
    echo "scenario 2: skipped (port 80 unavailable)"
    exit 0
}
two="$work/two"
make_client_folder "$two" 'fhlog 1\nstats 1\nnowin 1\nipadd 127.0.0.1\nvant! 1\n'
start_peer companion2 "$tools/companion_server.py" --address 127.0.0.1 --port 25876 \
    --log "$work/two.jsonl" || fail "companion server did not start"
start_monitor_with_site "$two" "$vigilon" 60 "$work/monitor2.out"
wait_until 20 line_count_at_least "$work/two.jsonl" 2 || fail "scenario 2: no records"
write_unit_file "$two" "p4744_lam5w_300K" "P4744R0C12G30" 0
wait_until 20 grep -q "^connection 1$" "$work/site.out" || fail "scenario 2: no request at the site"
sleep 0.5 # well inside the wait for the response
stop_and_check "$two" 5 "$work/two.jsonl"
grep -q "^Beginning process for p4744_lam5w_300K on " "$two/FAH/vigilon/vigilon_log.txt" ||
    fail "scenario 2: the unit change was not logged"
echo "scenario 2: stopped while waiting for the site, in ${stop_time_ms} ms, exit code 0"
echo "stop_anytime: all scenarios passed"
