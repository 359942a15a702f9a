#!/usr/bin/env bash
# Benchmarks: one update and one lookup (Google Benchmark), one status frame
# on a real window under Xvfb, then the monitor's CPU time over a minute in
# silent, window and tray mode (the XEmbed icon, and the StatusNotifierItem
# icon on a private session bus), side by side with a bare 100 ms sleep loop.
# IDLE_SECONDS sets the measuring time (default 60).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/install_deps.sh"
cmake --preset linux-bench -S "$root" >/dev/null
cmake --build --preset linux-bench -j 2
build="$root/build/linux-bench"
"$build/bench/vigilon_bench" --benchmark_min_time=1

source "$root/tests/e2e/lib/xsession.sh"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    stop_x_session
    rm -rf "$work"
}
trap cleanup EXIT
start_x_session
start_tray_host
# A session bus with a StatusNotifierWatcher for the one monitor told of it.
start_session_bus
sni_bus=$DBUS_SESSION_BUS_ADDRESS
unset DBUS_SESSION_BUS_ADDRESS
DBUS_SESSION_BUS_ADDRESS=$sni_bus /usr/bin/python3 "$root/tests/e2e/lib/sni_host.py" \
    >"$work/sni_host.out" 2>&1 &
pids+=($!)
timeout 10 bash -c "until grep -q '^ready' '$work/sni_host.out'; do sleep 0.1; done"
"$build/bench/frame_bench" --benchmark_min_time=2

seconds=${IDLE_SECONDS:-60}
# One monitor per mode, each in a client folder of its own, updating once a
# minute as a user would run it.
start_monitor() { # <mode> <settings> [session bus address]
    local folder="$work/$1/FAH/vigilon"
    mkdir -p "$folder"
    cp "$root/data/database.txt" "$folder/"
    printf 'Current Work Unit\n-----------------\nName: p2665_IBX\nTag: -\nProgress: 23%%  [||____]\n' \
        >"$work/$1/FAH/unitinfo.txt"
    printf '%b' "$2" >"$folder/vigilon.ini"
    (cd "$folder" && exec env ${3:+DBUS_SESSION_BUS_ADDRESS=$3} "$build/vigilon") &
    pids+=($!)
}
# Today's client, stood in for by the fake client: its unit moves on once a
# second, each step a change message the monitor takes as it arrives.
api_port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
for step in $(seq 1 $((${IDLE_SECONDS:-60} + 30))); do
    printf '{"sleep": 1}\n["units", 0, "wu_progress", %s]\n' "$(awk -v s="$step" 'BEGIN { printf "%.4f", (s % 1000) / 1000 }')"
done >"$work/progress.jsonl"
/usr/bin/python3 "$root/tools/fake_client.py" --port "$api_port" --script "$work/progress.jsonl" \
    >"$work/fake_client.out" 2>&1 &
pids+=($!)
timeout 10 bash -c "until grep -q '^listening on' '$work/fake_client.out'; do sleep 0.1; done"

start_monitor silent 'delay 1\nfhlog 1\nnowin 1\n'
start_monitor window 'delay 1\nfhlog 1\n'
start_monitor tray 'delay 1\nfhlog 1\nquiet 1\n'
start_monitor sni 'delay 1\nfhlog 1\nquiet 1\n' "$sni_bus"
start_monitor api "delay 1\\nfhlog 1\\nnowin 1\\nclapi 127.0.0.1:$api_port\\n"
"$build/bench/idle_reference" &
pids+=($!)

# CPU milliseconds of a process: the sum over its threads (Mesa renders on
# threads of its own), from the scheduler's nanosecond counts.
process_cpu_ms() {
    local total=0 task
    for task in /proc/"$1"/task/*; do
        total=$(awk -v t="$total" '{ printf "%.1f", t + $1 / 1e6 }' "$task/schedstat")
    done
    echo "$total"
}
memory() { # resident and private memory
    awk '/^Rss:/ { r = $2 } /^Private_(Clean|Dirty):/ { p += $2 }
        END { printf "RSS %d kB, private %d kB", r, p }' "/proc/$1/smaps_rollup" 2>/dev/null
}

# Start-up (loading the GL driver, making the window) is counted apart from
# the steady cost of running.
warmup=5
sleep "$warmup"
# pids: the watcher, the fake client, then silent, window, tray, sni, api,
# then the bare loop.
measured=("${pids[@]:2}")
start=()
for i in 0 1 2 3 4 5; do start+=("$(process_cpu_ms "${measured[i]}")"); done
sleep "$seconds"
names=(silent window tray "tray sni" "api silent" "bare loop")
steady=()
echo "CPU time: the first $warmup s, then the next $seconds s"
for i in 0 1 2 3 4 5; do
    end=$(process_cpu_ms "${measured[i]}")
    steady+=("$(awk -v a="${start[i]}" -v b="$end" 'BEGIN { printf "%.1f", b - a }')")
    line=$(printf '  %-10s %8s ms, then %8s ms' "${names[i]}" "${start[i]}" "${steady[i]}")
    [ "$i" -lt 5 ] && line="$line; $(memory "${measured[i]}")"
    echo "$line"
done
awk -v s="${steady[0]}" -v w="${steady[1]}" -v t="${steady[2]}" -v n="${steady[3]}" \
    -v a="${steady[4]}" -v r="${steady[5]}" 'BEGIN {
    if (s > 0) printf "  running: window / silent %.2f, tray / silent %.2f\n", w / s, t / s
    if (s > 0) printf "  running: tray sni / silent %.2f\n", n / s
    if (s > 0) printf "  running: api silent (a change a second) / silent %.2f\n", a / s
    if (r > 0) printf "  running: silent / bare loop %.2f\n", s / r
}'
# The monitors end in order before the display goes away.
for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
pids=()
