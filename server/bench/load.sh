#!/usr/bin/env bash
# Load benchmark: vigilon_load's simulated monitors against the server on a
# private loopback port; prints the exchanges per second, exchange times and
# the server's CPU time and memory. Not a test: it asserts nothing.
# Usage: load.sh <build-dir> [monitors (500)] [seconds (60)]
set -euo pipefail
build=$(realpath "$1")
monitors=${2:-500} seconds=${3:-60}
work=$(mktemp -d "${TMPDIR:-/tmp}/vigilon-load.XXXXXX")
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then
        kill -TERM "$server_pid" 2>/dev/null || true
        timeout 10 tail --pid="$server_pid" -f /dev/null || kill -KILL "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

"$build/vigilon_server" --listen 127.0.0.1:0 --web 127.0.0.1:0 --db "$work/load.db" \
    --token load-benchmark-token >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 50); do grep -qs "^dashboard: " "$work/server.out" && break; sleep 0.1; done
port=$(sed -n 's/^companion: listening on .*:\([0-9]*\)$/\1/p' "$work/server.out")
web=$(sed -n 's#^dashboard: \(.*\)$#\1#p' "$work/server.out")

cpu_ticks() { awk '{print $14 + $15}' "/proc/$server_pid/stat"; }
ticks_per_second=$(getconf CLK_TCK)
before=$(cpu_ticks)
ulimit -n "$(ulimit -Hn)"
"$build/vigilon_load" --port "$port" --monitors "$monitors" --seconds "$seconds"
after=$(cpu_ticks)
echo "server CPU: $(awk -v t=$((after - before)) -v hz="$ticks_per_second" -v s="$seconds" \
    'BEGIN { printf "%.1f s in %d s (%.0f%% of one core)", t / hz, s, 100 * t / hz / s }')"
echo "server memory: $(grep -E '^(VmHWM|VmRSS)' "/proc/$server_pid/status" | tr -s ' \t' ' ' | paste -sd ',')"
echo "server counters: $(curl -s --max-time 5 "${web}api/stats")"
echo "machines shown: $(curl -s --max-time 10 "${web}api/machines" | python3 -c 'import json,sys; print(len(json.load(sys.stdin)))')"
