#!/usr/bin/env bash
# Today's client from the page to the client: tools/fake_client.py, a real
# monitor following it over its API (servc 1), a real monitor on a unit file
# (servc 1), the server, and the page in headless Chromium
# (browser/client_api_test.js). The page shows the client's ETA and PPD; its
# Pause reaches the client once, stamped in UTC, and the machine shows paused;
# a Fold follows with a later stamp. The monitor on the unit file is offered
# no client commands (409), and a reply of 4 from tools/companion_server.py
# changes nothing there.
# Usage: client_api_test.sh <vigilon_server> <vigilon> <client_simulator> <source-dir>
set -euo pipefail
unset DISPLAY # silent monitors
server_bin=$(realpath "$1") monitor_bin=$(realpath "$2") source_dir=$(realpath "$4")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/harness.sh"
[ -d "$here/browser/node_modules/puppeteer-core" ] ||
    (cd "$here/browser" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund >/dev/null)
client_python=/usr/bin/python3 # with python3-websockets

# The monitor in client folder $1 (output $work/$2.out), in a time zone far
# from UTC, so that a command stamped in local time shows; its pid is $!.
start_folder_monitor() {
    # shellcheck disable=SC2154 # monitor_env: lib/client_run.sh, sourced by lib/harness.sh
    (cd "$1/FAH/vigilon" && exec "${monitor_env[@]}" TZ=NPT-5:45 PATH="$1/bin:$PATH" \
        timeout 240 "$monitor_bin") >"$work/$2.out" 2>&1 9>&- &
    started_pids+=($!)
}
# SIGTERM to monitor $1 ($2 in messages): it ends in order within 10 s.
stop_monitor() {
    kill -TERM "$1"
    await_exit "$1" 10 || fail "$2 did not stop"
    [ "$ended_status" -eq 0 ] || fail "$2 ended with $ended_status"
}
# The fake client's commands so far, one JSON object a line, for check_records.
client_commands() { sed -n 's/^command //p' "$work/client.out" >"$work/commands.jsonl"; }
command_status() { # machine command -> HTTP status
    api -o /dev/null -w '%{http_code}' -X POST -H "Authorization: Bearer $token" \
        -d "{\"command\": \"$2\"}" "http://$web/api/machines/$1/command"
}
utc='from datetime import datetime, timezone
when = lambda c: datetime.strptime(c["time"], "%Y-%m-%dT%H:%M:%SZ").replace(tzinfo=timezone.utc)'

"$client_python" - "$source_dir/tools" "$work/state.json" <<'PYTHON'
import json, sys
sys.path.insert(0, sys.argv[1])
from fake_client import default_state
state = default_state()
state["units"][0].update(eta="1 hours 30 mins", ppd=123456)
json.dump(state, open(sys.argv[2], "w"))
PYTHON
lock_companion_port
timeout 300 "$client_python" "$source_dir/tools/fake_client.py" --port 0 --state "$work/state.json" \
    >"$work/client.out" 2>&1 9>&- &
started_pids+=($!)
wait_until 10 grep -qs "^listening on" "$work/client.out" || fail "the fake client did not start"
client_port=$(sed -n 's/^listening on //p' "$work/client.out")
start_server --listen 127.0.0.1
make_client_folder "$work/api" "cpunum 3\nstats 1\nnowin 1\nipadd 127.0.0.1\nservc 1\nclapi 127.0.0.1:$client_port\n"
start_folder_monitor "$work/api" api
api_pid=$!
make_client_folder "$work/file" 'cpunum 5\nfhlog 1\nstats 1\nnowin 1\nipadd 127.0.0.1\nservc 1\nspath fah-client\n'
# A restart would show here: the monitor restarts the service with systemctl.
mkdir -p "$work/file/bin"
printf '#!/bin/sh\necho "$@" >>"%s"\n' "$work/systemctl.log" >"$work/file/bin/systemctl"
chmod +x "$work/file/bin/systemctl"
start_folder_monitor "$work/file" file
file_pid=$!
wait_until 15 machines_match 'assert machines[3]["client_ppd"] == 123456 and machines[5]["source"] == "file"' ||
    fail "the server did not get both monitors' records"

# 1, 2: the page's figures and its Pause.
DASHBOARD="http://$web/" TOKEN="$token" CLIENT_MACHINE_ID=127.0.0.1-3 FILE_MACHINE_ID=127.0.0.1-5 \
    PUPPETEER_SKIP_DOWNLOAD=1 timeout 120 node "$here/browser/client_api_test.js" 9>&- ||
    fail "the browser checks failed"
client_commands
check_records "$work/commands.jsonl" "$utc
assert [(c['cmd'], c['state']) for c in records] == [('state', 'pause')], 'one pause'
assert abs((datetime.now(timezone.utc) - when(records[0])).total_seconds()) < 600, 'stamped in UTC'"
echo "client_api: the page's Pause reached the client once, stamped in UTC; the page shows paused"

# 3: a Fold through the API.
[ "$(command_status 127.0.0.1-3 fold)" = 202 ] || fail "fold not queued"
wait_until 15 grep -q '^command .*"fold"' "$work/client.out" || fail "the fold did not reach the client"
wait_until 15 machines_match 'assert machines[3]["paused"] is False' || fail "still paused after the fold"
client_commands
check_records "$work/commands.jsonl" "$utc
assert [c['state'] for c in records] == ['pause', 'fold'], 'pause, then fold'
assert when(records[0]) < when(records[1]), 'the fold stamped later'"
echo "client_api: the Fold reached the client with a later stamp; the machine runs again"

# 4: the monitor on the unit file takes no client commands.
for command in pause fold finish; do
    [ "$(command_status 127.0.0.1-5 "$command")" = 409 ] || fail "$command not refused for the unit file"
done
stop_monitor "$api_pid" "the monitor on the client"
stop_server
log_before=$(cat "$work/file/FAH/vigilon/vigilon_log.txt")
start_peer companion "$source_dir/tools/companion_server.py" --address 127.0.0.1 --port 25876 \
    --reply 4 --log "$work/companion.jsonl" 9>&- || fail "companion_server.py did not start"
wait_until 20 line_count_at_least "$work/companion.jsonl" 5 || fail "no records with reply 4"
kill -0 "$file_pid" 2>/dev/null || fail "the monitor on the unit file ended after reply 4"
check_records "$work/companion.jsonl" "assert all(r['fields']['cpu_number'] == '5' and r['reply'] == 4
           for r in records[:5]), 'replies of 4 to the monitor on the unit file'"
[ "$(cat "$work/file/FAH/vigilon/vigilon_log.txt")" = "$log_before" ] || fail "reply 4 was logged"
[ ! -e "$work/systemctl.log" ] || fail "reply 4 restarted the service"
[ ! -s "$work/file.out" ] || fail "reply 4 made the monitor print"
stop_monitor "$file_pid" "the monitor on the unit file"
echo "client_api: the unit file's monitor is offered no client commands (409) and ignores reply 4"
