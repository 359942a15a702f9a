#!/usr/bin/env bash
# The demo: builds the monitor and the companion server and runs the monitor
# in silent mode beside a simulated Folding@home client that finishes a unit
# every few seconds, reporting to the server, whose dashboard shows it at
# http://127.0.0.1:8080/; the monitor's event log is followed on screen.
# Ctrl+C ends all three (the monitor writes its shutdown statistics and
# sends its final record). DEMO_SECONDS limits the run (default: until Ctrl+C).
#
# With --today the simulated client is today's (v8): tools/fake_client.py
# serves its WebSocket API on a free loopback port, with a unit that moves on
# live and finishes every few seconds, and the monitor follows it there
# (clapi 127.0.0.1:PORT) instead of reading a unit file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
today=0
for argument in "$@"; do
    case $argument in
        --today) today=1 ;;
        *) echo "usage: demo.sh [--today]" >&2 && exit 2 ;;
    esac
done
bash "$root/tools/install_deps.sh"
cmake --preset linux -S "$root" >/dev/null
cmake --build --preset linux -j 2 --target vigilon client_simulator vigilon_server
build="$root/build/linux"

client="$root/build/demo/FAH"
rm -rf "$root/build/demo"
mkdir -p "$client/vigilon"
cp "$root/data/database.txt" "$client/vigilon/"
# No delay line: the unit file is re-read on every idle pass, so changes show at once.
printf '[Vigilon setup]\n\ncpunum 1\nfhlog 1\nnowin 1\nstats 1\nipadd 127.0.0.1\nservc 0\n' \
    >"$client/vigilon/vigilon.ini"

# The simulated units finish in seconds, not hours: the server stores them all.
"$build/server/vigilon_server" --listen 127.0.0.1 --units-per-minute 100 \
    --db "$root/build/demo/vigilon_server.db" &
server=$!

if [ "$today" -eq 1 ]; then
    # The fake client needs the websockets package of the system's Python.
    /usr/bin/python3 "$root/tools/fake_client.py" --port 0 --demo 5 >"$root/build/demo/client.out" &
    simulator=$!
    for _ in $(seq 50); do
        grep -qs "^listening on" "$root/build/demo/client.out" && break
        sleep 0.1
    done
    port=$(sed -n 's/^listening on //p' "$root/build/demo/client.out")
    if [ -z "$port" ]; then
        kill "$simulator" "$server" 2>/dev/null || true
        echo "the fake client did not start (python3-websockets missing?)" >&2
        exit 1
    fi
    echo "clapi 127.0.0.1:$port" >>"$client/vigilon/vigilon.ini"
else
    "$build/client_simulator" "$client" --period-ms 500 --steps-per-unit 10 >/dev/null &
    simulator=$!
    sleep 0.5
fi
(cd "$client/vigilon" && exec "$build/vigilon") &
monitor=$!
touch "$client/vigilon/vigilon_log.txt"
tail -n +1 -f "$client/vigilon/vigilon_log.txt" &
follower=$!

stop() {
    kill -TERM "$monitor" 2>/dev/null || true
    wait "$monitor" 2>/dev/null || true
    kill -TERM "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    kill "$simulator" 2>/dev/null || true
    sleep 0.3
    kill "$follower" 2>/dev/null || true
    echo "Demo folder: $client"
}
trap stop EXIT
trap 'exit 0' INT TERM
echo "Monitor running in $client/vigilon; dashboard at http://127.0.0.1:8080/ (Ctrl+C to stop)"
if [ -n "${DEMO_SECONDS:-}" ]; then
    sleep "$DEMO_SECONDS"
else
    wait "$monitor"
fi
