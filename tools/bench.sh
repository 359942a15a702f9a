#!/usr/bin/env bash
# Benchmarks: one update and one lookup (Google Benchmark), then the silent
# monitor's CPU time over a minute beside a bare 100 ms sleep loop.
# IDLE_SECONDS sets the measuring time (default 60).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/install_deps.sh"
cmake --preset linux-bench -S "$root" >/dev/null
cmake --build --preset linux-bench -j 2
build="$root/build/linux-bench"
"$build/bench/vigilon_bench" --benchmark_min_time=1

seconds=${IDLE_SECONDS:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/FAH/vigilon"
cp "$root/data/database.txt" "$work/FAH/vigilon/"
cp "$root/../shared/data/unitinfo/GPU3_1-unitinfo.txt" "$work/FAH/unitinfo.txt" 2>/dev/null ||
    printf 'Name: p2665_IBX\nProgress: 23%%  [||____]\n' >"$work/FAH/unitinfo.txt"
# One update a minute, as a user would run it.
printf 'delay 1\nfhlog 1\nnowin 1\n' >"$work/FAH/vigilon/vigilon.ini"

cpu_seconds() { # CPU seconds of a process, to the nanosecond, from the scheduler
    awk '{ printf "%.6f", $1 / 1e9 }' "/proc/$1/schedstat"
}
(cd "$work/FAH/vigilon" && exec "$build/vigilon") &
monitor=$!
"$build/bench/idle_reference" &
reference=$!
sleep "$seconds"
monitor_cpu=$(cpu_seconds "$monitor")
reference_cpu=$(cpu_seconds "$reference")
kill -TERM "$monitor" "$reference"
wait "$monitor" 2>/dev/null || true
wait "$reference" 2>/dev/null || true
awk -v m="$monitor_cpu" -v r="$reference_cpu" -v s="$seconds" 'BEGIN {
    printf "idle cost over %d s: monitor %.1f ms CPU, bare 100 ms loop %.1f ms CPU", s, m * 1000, r * 1000
    if (r > 0) printf ", ratio %.2f", m / r
    printf "\n"
}'
