#!/usr/bin/env bash
# End to end under Wine: the monitor, silent, without a unit file or clapi
# line, finds today's client (tools/fake_client.py on 127.0.0.1:7396); the
# client started again moves on to the next unit, which is one unit entry in
# the log, with CR LF line ends. The monitor is then ended from outside.
# Usage: client_api_run.sh <vigilon.exe> <wine> <source-dir>
set -euo pipefail
exe=$1 wine=$2 source=$3
client_python=/usr/bin/python3 # with python3-websockets
work=$(mktemp -d "${TMPDIR:-/tmp}/vigilon-wine-clapi.XXXXXX")
log="$work/FAH/vigilon/vigilon_log.txt"
monitor_pid="" client_pid=""
# Ends process $1 (SIGTERM, then SIGKILL after 5 s) and waits for it.
end_process() {
    [ -n "$1" ] || return 0
    kill -TERM "$1" 2>/dev/null || true
    timeout 5 tail -s 0.1 --pid="$1" -f /dev/null || kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
cleanup() { end_process "$monitor_pid"; end_process "$client_pid"; rm -rf "$work"; }
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    [ -f "$log" ] && od -c "$log" | head -n 40
    tail -n 20 "$work"/*.out "$work/wine.txt" 2>/dev/null
    exit 1
}

# Starts the fake client on port 7396 as $1 with the options that follow,
# after the one before it has ended.
start_client() {
    local name=$1
    shift
    end_process "$client_pid"
    timeout 300 "$client_python" "$source/tools/fake_client.py" "$@" >"$work/$name.out" 2>&1 &
    client_pid=$!
    # shellcheck disable=SC2016 # the inner shell expands its own arguments
    timeout 10 bash -c 'until grep -qs "^listening on 7396$" "$0"; do sleep 0.1; done' \
        "$work/$name.out" || fail "fake client $name did not start (port 7396 busy?)"
}

source "$(dirname "$0")/lib/log_wait.sh"

mkdir -p "$work/FAH/vigilon"
# No delay line: the client's state is taken on every idle pass.
printf '%s\r\n' "[Vigilon setup]" "" "fhlog 1" "nowin 1" >"$work/FAH/vigilon/vigilon.ini"
cp "$exe" "$work/FAH/vigilon/vigilon.exe"
start_client first
(cd "$work/FAH/vigilon" && exec "$wine" vigilon.exe) >"$work/wine.txt" 2>&1 &
monitor_pid=$!
stamp='[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}'
start_line="Continuing process at 12% for p18213_R0_C12_G34 on $stamp"
await_line "^$start_line"$'\r$'

# The client moves on: the old unit uploads, the next one is added and runs,
# the old one is removed.
next_unit=$("$client_python" -c "import json, sys; sys.path.insert(0, sys.argv[1]); import fake_client
print(json.dumps(fake_client.make_unit(8, 18494, '0xa8', 9020.0, 3, 45, 6, state='DOWNLOAD')))" \
    "$source/tools")
printf '%s\n' '{"sleep": 1}' '["units", 0, "state", "UPLOAD"]' "[\"units\", -1, $next_unit]" \
    '["units", 1, "state", "RUN"]' '["units", 0, null]' >"$work/change.jsonl"
start_client second --script "$work/change.jsonl"
next_line="Beginning process for p18494_R3_C45_G6 on $stamp"
await_line "^$next_line"$'\r$'
sleep 1 # further updates: the change must stay one change
end_process "$monitor_pid"
monitor_pid=""
grep -q "^connection 2 " "$work/second.out" && fail "the monitor connected twice"

# Banner, separator, empty line, continuing line; completed, frame time,
# beginning: seven lines, each ended by CR LF, and no other CR.
[ "$(wc -l <"$log") $(grep -c $'\r$' "$log") $(tr -cd '\r' <"$log" | wc -c)" = "7 7 7" ] ||
    fail "expected 7 lines, each ended by CR LF"
tr -d '\r' <"$log" | paste -sd '#' | grep -Eqx "Vigilon v1\.1[^#]*#[^#]*##$start_line#\
p18213_R0_C12_G34 completed in [0-9]+\.[0-9]{6} minutes on $stamp#\
Average frame time: [0-9]+\.[0-9]{6} minutes per frame#$next_line" || fail "the log's lines"
echo "wine client API run: the client found at 7396, its unit change logged with CR LF line ends"
