#!/usr/bin/env bash
# The demo: builds the monitor and runs it in silent mode beside a simulated
# Folding@home client that finishes a unit every few seconds; the monitor's
# event log is followed on screen. Ctrl+C ends both (the monitor writes its
# shutdown statistics). DEMO_SECONDS limits the run (default: until Ctrl+C).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/install_deps.sh"
cmake --preset linux -S "$root" >/dev/null
cmake --build --preset linux -j 2 --target vigilon client_simulator
build="$root/build/linux"

client="$root/build/demo/FAH"
rm -rf "$root/build/demo"
mkdir -p "$client/vigilon"
cp "$root/data/database.txt" "$client/vigilon/"
# No delay line: the unit file is re-read on every idle pass, so changes show at once.
printf '[Vigilon setup]\n\ncpunum 1\nfhlog 1\nnowin 1\n' >"$client/vigilon/vigilon.ini"

"$build/client_simulator" "$client" --period-ms 500 --steps-per-unit 10 >/dev/null &
simulator=$!
sleep 0.5
(cd "$client/vigilon" && exec "$build/vigilon") &
monitor=$!
touch "$client/vigilon/vigilon_log.txt"
tail -n +1 -f "$client/vigilon/vigilon_log.txt" &
follower=$!

stop() {
    kill -TERM "$monitor" 2>/dev/null || true
    wait "$monitor" 2>/dev/null || true
    kill "$simulator" 2>/dev/null || true
    sleep 0.3
    kill "$follower" 2>/dev/null || true
    echo "Demo folder: $client"
}
trap stop EXIT
trap 'exit 0' INT TERM
echo "Monitor running in $client/vigilon (Ctrl+C to stop)"
if [ -n "${DEMO_SECONDS:-}" ]; then
    sleep "$DEMO_SECONDS"
else
    wait "$monitor"
fi
