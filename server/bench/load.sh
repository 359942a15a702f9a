#!/usr/bin/env bash
# Load benchmark of the companion server: builds vigilon_server and the load
# generator vigilon_load (one epoll loop, no thread per monitor) in Release,
# then against a fresh server on a private loopback port for each run:
#  1. FAST_MONITORS monitors exchanging back to back (as fast as the protocol
#     allows) for FAST_SECONDS;
#  2. monitors sending one record every 10 s, STEP_SECONDS a run, from
#     STEP_MONITORS up by STEP_MONITORS to STEP_MAX, until a run has a failed
#     exchange or a 99th percentile of 50 ms or more.
# Each run prints the generator's figures (rate, exchange times, failures, its
# own CPU), the server's CPU time (user+sys from /proc/<pid>/stat over the
# run), its peak RSS (VmHWM) and counters. Monitor i is CPU number i at
# source address 127.1.0.1 + i / PER_SOURCE: a machine of its own to the
# server, and never more than PER_SOURCE of them on one address.
# Not a test: it asserts nothing.
# Usage: bash server/bench/load.sh
#   (environment: LOAD_BUILD (build/h-bench), FAST_MONITORS (500),
#    FAST_SECONDS (60), STEP_MONITORS (2000), STEP_MAX (20000),
#    STEP_SECONDS (30), PER_SOURCE (50))
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${LOAD_BUILD:-$root/build/h-bench}
fast_monitors=${FAST_MONITORS:-500} fast_seconds=${FAST_SECONDS:-60}
step_monitors=${STEP_MONITORS:-2000} step_max=${STEP_MAX:-20000}
step_seconds=${STEP_SECONDS:-30} per_source=${PER_SOURCE:-50}
p99_limit_ms=50

work=$(mktemp -d "${TMPDIR:-/tmp}/vigilon-load.XXXXXX")
server_pid=""
stop_server() {
    if [ -n "$server_pid" ]; then
        kill -TERM "$server_pid" 2>/dev/null || true
        timeout 10 tail --pid="$server_pid" -f /dev/null || kill -KILL "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
        server_pid=""
    fi
}
cleanup() {
    stop_server
    rm -rf "$work"
}
trap cleanup EXIT

if ! { cmake -S "$root/server" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVIGILON_SERVER_TESTS=OFF &&
       cmake --build "$build" --target vigilon_server vigilon_load -j 2; } >"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    echo "load.sh: the build failed" >&2
    exit 1
fi

# Every monitor in flight is a descriptor in the generator and the server.
ulimit -Hn 1048576 2>/dev/null || true
ulimit -n "$(ulimit -Hn)"
# A server with --per-address-limit (open connections per source address)
# gets one far above PER_SOURCE, so that only capacity is measured.
server_extra=()
if "$build/vigilon_server" --help 2>&1 | grep -q -- '--per-address-limit'; then
    server_extra=(--per-address-limit 1024)
fi

start_server() {
    rm -f "$work"/load.db* "$work/server.out"
    "$build/vigilon_server" --listen 127.0.0.1:0 --web 127.0.0.1:0 --db "$work/load.db" \
        --token load-benchmark-token "${server_extra[@]}" >"$work/server.out" 2>"$work/server.err" &
    server_pid=$!
    for _ in $(seq 50); do grep -qs "^dashboard: " "$work/server.out" && break; sleep 0.1; done
    port=$(sed -n 's/^companion: listening on .*:\([0-9]*\)$/\1/p' "$work/server.out")
    web=$(sed -n 's#^dashboard: \(.*\)$#\1#p' "$work/server.out")
    if [ -z "$port" ] || [ -z "$web" ]; then
        cat "$work/server.err" >&2
        echo "load.sh: the server did not start" >&2
        exit 1
    fi
}

cpu_ticks() { awk '{print $14 + $15}' "/proc/$server_pid/stat"; }
# The whole machine's busy ticks (user, nice, system, irq, softirq, steal):
# other work on the 2 cores shows up here and not in the two processes (whose
# system time holds the softirq work done in their context). Tick rounding
# makes the difference a few percent off; below zero it shows as 0.
machine_ticks() { awk '/^cpu / {print $2 + $3 + $4 + $7 + $8 + $9}' /proc/stat; }

# One run against a fresh server; the generator's output is kept in
# $work/run.out for the step-up.
run() {
    start_server
    local before after machine_before machine_after seconds generator
    before=$(cpu_ticks) machine_before=$(machine_ticks)
    "$build/vigilon_load" --port "$port" --per-source "$per_source" "$@" | tee "$work/run.out"
    after=$(cpu_ticks) machine_after=$(machine_ticks)
    seconds=$(sed -n 's/^monitors .*, \([0-9.]*\) s$/\1/p' "$work/run.out")
    generator=$(sed -n 's/^generator .* CPU \([0-9.]*\) s .*/\1/p' "$work/run.out")
    awk -v t=$((after - before)) -v m=$((machine_after - machine_before)) \
        -v hz="$(getconf CLK_TCK)" -v s="$seconds" -v g="$generator" -v cores="$(nproc)" 'BEGIN {
        server = 100 * t / hz / s; busy = 100 * m / hz / s; generator = 100 * g / s
        others = busy - server - generator
        if (others < 0) others = 0
        printf "server CPU %.1f s (user+sys, %.0f%% of one core)\n", t / hz, server
        printf "machine busy %.0f%% of one core (of %d): server %.0f%%, generator %.0f%%, " \
            "other processes %.0f%%\n", busy, cores, server, generator, others }'
    echo "server peak RSS $(awk '/^VmHWM/ {printf "%.1f MB", $2 / 1024}' "/proc/$server_pid/status")"
    echo "server counters $(curl -s --max-time 5 "${web}api/stats")"
    echo "machines shown $(curl -s --max-time 30 "${web}api/machines" |
        python3 -c 'import json,sys; print(len(json.load(sys.stdin)))')"
    stop_server
}

# A step holds when no exchange failed and the 99th percentile is below the limit.
step_held() {
    local failed p99
    failed=$(sed -n 's/^exchanges [0-9]*, failed \([0-9]*\) .*/\1/p' "$work/run.out")
    p99=$(sed -n 's/^exchange time .* p99 \([0-9.]*\) ms.*/\1/p' "$work/run.out")
    [ "$failed" = 0 ] && awk -v p="$p99" -v l="$p99_limit_ms" 'BEGIN { exit !(p < l) }'
}

echo "== $fast_monitors monitors back to back, ${fast_seconds} s"
run --monitors "$fast_monitors" --seconds "$fast_seconds"

echo
echo "== monitors sending one record every 10 s, ${step_seconds} s a step"
held=0
for ((monitors = step_monitors; monitors <= step_max; monitors += step_monitors)); do
    echo "-- $monitors monitors"
    run --monitors "$monitors" --seconds "$step_seconds" --interval-ms 10000
    if ! step_held; then
        echo "-- $monitors monitors: failed exchanges or p99 >= ${p99_limit_ms} ms; stopping" \
            "(the server counters above say which limit turned exchanges away)"
        break
    fi
    held=$monitors
done
echo
echo "largest step held (no failure, p99 < ${p99_limit_ms} ms): $held monitors"
