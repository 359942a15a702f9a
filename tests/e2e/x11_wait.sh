#!/usr/bin/env bash
# End to end under Xvfb with openbox: the status window is served while an
# exchange waits on a companion server that accepts and never greets (each
# exchange waits 10 s for the greeting, and without a delay setting one
# follows the other). During such a wait the window shows its frame, shows it
# again soon after it was covered and uncovered, and its close box ends the
# wait and the monitor in order: exit code 0, the log's shutdown block and a
# final record at the server, within a few seconds. Each check begins with a
# fresh wait and its limit stays well below the wait's 10 s (the monitor runs
# at idle priority, so the limits allow for a busy machine): what it sees
# comes from within the wait.
# Usage: x11_wait.sh <vigilon> <client_simulator> <source-dir>
set -euo pipefail
vigilon=$(realpath "$1") source=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/xsession.sh"
fail() {
    echo "FAIL: $*"
    cat "$work"/*.err "$work"/quiet.out "$work"/quiet.jsonl 2>/dev/null
    exit 1
}

begin_x_test
start_window_manager

# The quiet server prints "connection N" when it accepts one.
accepted() { grep -c '^connection ' "$work/quiet.out" || true; }
more_than() { [ "$(accepted)" -gt "$1" ]; }
# Waits for a connection after the given count (by default, the count now),
# whose wait for the greeting has just begun; wait_on is its number.
await_next_wait() { # [<count>]
    wait_for 30 more_than "${1:-$(accepted)}" || fail "no new connection"
    wait_on=$(accepted)
}

frame_shown() { # <name>
    capture_window "$window" "$work/$1.ppm" &&
        python3 "$here/lib/frame_pixels.py" "$work/$1.ppm" 42 >"$work/$1.txt"
}
covered() { ! frame_shown covered; }
frame_within() { # <name> <seconds>
    wait_for "$2" frame_shown "$1" || { cat "$work/$1.txt"; fail "$1: no frame"; }
}

timeout 120 python3 "$here/lib/quiet_peer.py" --port 25876 --log "$work/quiet.jsonl" \
    >"$work/quiet.out" 2>&1 &
remember_pid $!
wait_for 10 grep -q "^listening" "$work/quiet.out" || fail "quiet server: port 25876 busy?"

folder=$(make_client_folder "$work/one" "$source" 42 'fhlog 1\nstats 1\nipadd 127.0.0.1\n')
(cd "$folder" && exec "$vigilon" 2>"$work/monitor.err") &
monitor_pid=$!
await_next_wait 0 # the start-up exchange: the idle loop has not run yet
wait_for 10 prints window_by_title 'Vigilon v1.1' || fail "no window"
window=$(window_by_title 'Vigilon v1.1')
frame_within first 5

# Covered by another window during a fresh wait, then uncovered: the frame
# comes back.
await_next_wait
xlogo -geometry 400x300+0+0 &
remember_pid $!
cover=$!
wait_for 10 prints window_by_title xlogo || fail "no covering window"
wait_for 5 covered || fail "the window was not covered"
kill "$cover"
frame_within uncovered 5

# The close box during a fresh wait ends it, and the monitor, at once.
await_next_wait
asked=$SECONDS
timeout 5 wmctrl -i -c "$window"
wait_exit "$monitor_pid" 8
monitor_pid=""
[ "$exit_status" = 0 ] || fail "close box: exit status $exit_status after $((SECONDS - asked)) s"
grep -q "^Vigilon stats after shutdown$" "$folder/vigilon_log.txt" || fail "no shutdown block"
final_record() {
    python3 -c 'import json, sys
last = max((json.loads(line) for line in open(sys.argv[1])), key=lambda c: c["connection"])
fields = last["text"].split(" ")
sys.exit(0 if last["connection"] == int(sys.argv[2]) + 1 and len(fields) == 13 and fields[4] == "1" else 1)' \
        "$work/quiet.jsonl" "$wait_on"
}
wait_for 10 final_record || fail "no final record after connection $wait_on"
echo "x11 wait: frame during the wait and after uncovering, close box ending the wait in order"
