#!/usr/bin/env bash
# End to end on Windows, under Wine: the built monitor in silent mode in a
# client folder reads ../unitinfo.txt and writes the start entry of its event
# log with Windows line ends; it is then ended from outside (silent mode has
# no other way out). The missing-unit-file case needs a message box, which
# cannot be confirmed without a desktop, so it is not run here.
# Usage: silent_run.sh <vigilon.exe> <wine> <source-dir>
set -euo pipefail
exe=$1 wine=$2 source=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/vigilon-wine.XXXXXX")
monitor_pid=""
stop_monitor() {
    [ -n "$monitor_pid" ] || return 0
    kill -TERM "$monitor_pid" 2>/dev/null || true
    for _ in $(seq 50); do
        kill -0 "$monitor_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$monitor_pid" 2>/dev/null || true
    wait "$monitor_pid" 2>/dev/null || true
    monitor_pid=""
}
cleanup() {
    stop_monitor
    rm -rf "$work"
}
trap cleanup EXIT
log="$work/FAH/vigilon/vigilon_log.txt"
fail() {
    echo "FAIL: $*"
    if [ -f "$log" ]; then
        echo "--- vigilon_log.txt:"
        od -c "$log" | head -n 40
    fi
    [ -f "$work/wine.txt" ] && { echo "--- wine output:"; head -n 40 "$work/wine.txt"; }
    exit 1
}

mkdir -p "$work/FAH/vigilon"
# A unit file written by a real client (CR LF line ends) when the shared data
# lies beside the source tree; otherwise the same bytes.
fixture="$source/../shared/data/unitinfo/GPU3_1-unitinfo.txt"
if [ -f "$fixture" ]; then
    cp "$fixture" "$work/FAH/unitinfo.txt"
else
    printf '%s\r\n' "Current Work Unit" "-----------------" "Name: PEPTIDE (1-42)" "Tag: -" \
        "Download time: November 19 05:56:56" "Due time: November 29 05:56:56" \
        "Progress: 23%  [||________]" >"$work/FAH/unitinfo.txt"
fi
printf '%s\r\n' "[Vigilon setup]" "" "delay 1" "fhlog 1" "nowin 1" >"$work/FAH/vigilon/vigilon.ini"
cp "$exe" "$work/FAH/vigilon/vigilon.exe"

(cd "$work/FAH/vigilon" && exec "$wine" vigilon.exe) >"$work/wine.txt" 2>&1 &
monitor_pid=$!

# The start entry is written once, right after the first read of the unit
# file; wait for its last line to be complete (bounded: 120 s).
start_line='^Continuing process at 23% for PEPTIDE on [A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}'$'\r''$'
for _ in $(seq 600); do
    grep -Eq "$start_line" "$log" 2>/dev/null && break
    kill -0 "$monitor_pid" 2>/dev/null || fail "the monitor ended by itself"
    sleep 0.2
done
grep -Eq "$start_line" "$log" 2>/dev/null || fail "no start entry within 120 s"
kill -0 "$monitor_pid" 2>/dev/null || fail "the monitor ended by itself"
stop_monitor

# Exactly the start entry: banner, separator, empty line, continuing line,
# each ended by CR LF.
[ "$(wc -l <"$log")" -eq 4 ] || fail "expected 4 lines"
[ "$(grep -c $'\r$' "$log")" -eq 4 ] || fail "every line must end with CR LF"
[ "$(tr -cd '\r' <"$log" | wc -c)" -eq 4 ] || fail "stray carriage returns"
sed -n 1p "$log" | grep -q "^Vigilon v1.1" || fail "no banner"
sed -n 2p "$log" | grep -qx -- "------------------------------------------------"$'\r' ||
    fail "separator"
sed -n 3p "$log" | grep -qx $'\r' || fail "empty line"
sed -n 4p "$log" | grep -Eq "$start_line" || fail "continuing line"
[ ! -e "$work/FAH/vigilon/Vantor.html" ] || fail "statistics site contacted"
echo "wine silent run: start entry logged with CR LF line ends"
