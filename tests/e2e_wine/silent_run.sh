#!/usr/bin/env bash
# End to end on Windows, under Wine: the built monitor in silent mode in a
# client folder reads ../unitinfo.txt, writes the start entry of its event
# log, then the entry of a unit change, with Windows line ends; it is then
# ended from outside (silent mode has no other way out). The missing-unit-file
# case needs a message box, which cannot be confirmed without a desktop, so it
# is not run here.
# Usage: silent_run.sh <vigilon.exe> <wine> <source-dir>
set -euo pipefail
exe=$1 wine=$2 source=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/vigilon-wine.XXXXXX")
monitor_pid=""
stop_monitor() {
    [ -n "$monitor_pid" ] || return 0
    kill -TERM "$monitor_pid" 2>/dev/null || true
    timeout 5 tail -s 0.1 --pid="$monitor_pid" -f /dev/null || kill -KILL "$monitor_pid" 2>/dev/null || true
    wait "$monitor_pid" 2>/dev/null || true
    monitor_pid=""
}
cleanup() { stop_monitor; rm -rf "$work"; }
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

# --version answers on the standard output (CR LF) and ends at once, even
# though the monitor is a GUI program.
version=$(timeout 60 "$wine" "$exe" --version 2>/dev/null | tr -d '\r') ||
    fail "--version failed"
[[ $version =~ ^vigilon\ [0-9]+\.[0-9]+$ ]] || fail "--version printed: $version"

mkdir -p "$work/FAH/vigilon"
# A unit file written by a real client (CR LF line ends).
cp "$source/tests/data/unitinfo/GPU3_1-unitinfo.txt" "$work/FAH/unitinfo.txt"
# No delay line: the unit file is re-read on every idle pass.
printf '%s\r\n' "[Vigilon setup]" "" "fhlog 1" "nowin 1" >"$work/FAH/vigilon/vigilon.ini"
cp "$exe" "$work/FAH/vigilon/vigilon.exe"

(cd "$work/FAH/vigilon" && exec "$wine" vigilon.exe) >"$work/wine.txt" 2>&1 &
monitor_pid=$!

source "$(dirname "$0")/lib/log_wait.sh"

# The start entry is written once, right after the first read of the unit
# file; wait for its last line to be complete.
stamp='[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}'$'\r''$'
start_line="^Continuing process at 23% for PEPTIDE on $stamp"
await_line "$start_line" "no start entry"

# The client moves on to the next unit, once the first idle pass is over: a
# change that pass's update sees still belongs to start-up and is counted
# without a log entry.
sleep 1
printf '%s\r\n' "Current Work Unit" "-----------------" "Name: p2665_IBX in water" "Tag: -" \
    "Download time: November 29 06:00:00" "Due time: December 9 06:00:00" \
    "Progress: 0%  [__________]" >"$work/FAH/next.txt"
mv "$work/FAH/next.txt" "$work/FAH/unitinfo.txt"
next_line="^Beginning process for p2665_IBX on $stamp"
await_line "$next_line" "no unit entry"
stop_monitor

# The start entry (banner, separator, empty line, continuing line) and the
# unit entry (completed, frame time, beginning), each line ended by CR LF.
[ "$(wc -l <"$log")" -eq 7 ] || fail "expected 7 lines"
[ "$(grep -c $'\r$' "$log")" -eq 7 ] || fail "every line must end with CR LF"
[ "$(tr -cd '\r' <"$log" | wc -c)" -eq 7 ] || fail "stray carriage returns"
sed -n 1p "$log" | grep -q "^Vigilon v1.1" || fail "no banner"
sed -n 2p "$log" | grep -qx -- "------------------------------------------------"$'\r' ||
    fail "separator"
sed -n 3p "$log" | grep -qx $'\r' || fail "empty line"
sed -n 4p "$log" | grep -Eq "$start_line" || fail "continuing line"
sed -n 5p "$log" | grep -Eq "^PEPTIDE completed in [0-9]+\.[0-9]{6} minutes on $stamp" ||
    fail "completed line"
sed -n 6p "$log" | grep -qx "Average frame time: 0.000000 minutes per frame"$'\r' ||
    fail "frame time line"
sed -n 7p "$log" | grep -Eq "$next_line" || fail "beginning line"
[ ! -e "$work/FAH/vigilon/Vantor.html" ] || fail "statistics site contacted"
echo "wine silent run: start and unit entries logged with CR LF line ends"
