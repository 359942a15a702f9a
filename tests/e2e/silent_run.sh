#!/usr/bin/env bash
# End to end: the built monitor in silent mode in a simulated client folder
# logs its banner, the unit changes and the shutdown block, and ends with
# code 0 on SIGTERM. Missing unit file: exit 0, log untouched.
# Usage: silent_run.sh <vigilon> <client_simulator> <source-dir>
set -euo pipefail
# Silent mode needs no display; without one the notices go to stderr.
unset DISPLAY
vigilon=$1 simulator=$2 source=$3
work=$(mktemp -d)
simulator_pid=""
cleanup() {
    [ -n "$simulator_pid" ] && kill "$simulator_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$log" ] && cat "$log"; exit 1; }

mkdir -p "$work/FAH/vigilon"
cp "$source/data/database.txt" "$work/FAH/vigilon/"
log="$work/FAH/vigilon/vigilon_log.txt"

# Without the unit file: the notice, exit code 0, and no log.
printf 'fhlog 1\nnowin 1\n' >"$work/FAH/vigilon/vigilon.ini"
(cd "$work/FAH/vigilon" && timeout 10 "$vigilon" 2>"$work/notice.txt") || fail "exit code $?"
grep -q "Cannot locate unitinfo.txt file" "$work/notice.txt" || fail "no notice"
[ ! -e "$log" ] || fail "log written without a unit file"

# With a client that moves on quickly, once the monitor is past its first
# pass (a change seen then still belongs to start-up and is not logged).
"$simulator" "$work/FAH" --once >/dev/null
(cd "$work/FAH/vigilon" && exec "$vigilon") &
monitor_pid=$!
for _ in $(seq 100); do grep -q "^Vigilon v1.1" "$log" 2>/dev/null && break; sleep 0.1; done
sleep 0.5
"$simulator" "$work/FAH" --period-ms 200 --steps-per-unit 3 >"$work/simulator.txt" &
simulator_pid=$!
for _ in $(seq 100); do
    [ "$(grep -c ' completed in ' "$log" 2>/dev/null)" -ge 2 ] && break
    sleep 0.1
done
kill -TERM "$monitor_pid"
status=0
timeout 10 tail --pid="$monitor_pid" -f /dev/null || fail "monitor did not end"
wait "$monitor_pid" || status=$?
[ "$status" -eq 0 ] || fail "exit code $status"

head -n 3 "$log" | grep -q "^Vigilon v1.1" || fail "no banner"
sed -n 2p "$log" | grep -qx -- "------------------------------------------------" || fail "separator"
grep -Eq "^(Beginning process for|Continuing process at [0-9]+% for) p2665_IBX_in_water on |^(Beginning process for|Continuing process at [0-9]+% for) p2665_IBX on " "$log" ||
    fail "no start line"
grep -Eq "^p2665_IBX completed in [0-9]+\.[0-9]{6} minutes on [A-Z][a-z]{2} " "$log" || fail "no completed line"
grep -q "^Average frame time: [0-9.]* minutes per frame$" "$log" || fail "no frame time"
grep -q "^Beginning process for p10501 on " "$log" || fail "no next unit"
grep -q "^Vigilon stats after shutdown$" "$log" || fail "no shutdown block"
completed=$(grep -c ' completed in ' "$log")
grep -q "^Total WUs completed: $completed$" "$log" || fail "count"
tail -n 5 "$log" | head -n 1 | grep -qx -- "------------------------------------------------" || fail "closing separator"
echo "silent run: $completed units logged, exit code 0"
