#!/usr/bin/env bash
# End to end: a multi-core client's units all carry the name "Gromacs" and
# differ only in their tag; the silent monitor logs every one of their unit
# changes and counts them, and reports each unit's project from its tag.
# Usage: smp_units.sh <vigilon> <client_simulator> <source-dir>
set -euo pipefail
unset DISPLAY
vigilon=$1 simulator=$2 source=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/vigilon-smp.XXXXXX")
# shellcheck source=lib/client_run.sh
. "$(dirname "$0")/lib/client_run.sh"

folder="$work/FAH"
log="$folder/vigilon/vigilon_log.txt"
mkdir -p "$folder/vigilon"
cp "$source/data/database.txt" "$folder/vigilon/"
printf 'fhlog 1\nnowin 1\n' >"$folder/vigilon/vigilon.ini"
"$simulator" "$folder" --smp --once >/dev/null
(cd "$folder/vigilon" && exec "${monitor_env[@]}" timeout 120 "$vigilon") >"$work/monitor.out" 2>&1 &
monitor_pid=$!
started_pids+=("$monitor_pid")
wait_until 10 grep -qs "^Vigilon v1.1" "$log" || fail "no start entry"
sleep 1 # past the first pass, whose changes belong to start-up
# Each new unit waits until the monitor has logged the one before.
timeout 90 "$simulator" "$folder" --smp --steps-per-unit 5 --period-ms 300 --units 5 \
    --wait-for-log "$log" >"$work/simulator.out" || fail "simulator: exit code $?"
kill -TERM "$monitor_pid"
await_exit "$monitor_pid" 10 || fail "the monitor did not end"
[ "$ended_status" -eq 0 ] || fail "exit code $ended_status"
changes=$(awk '{ print $5 }' "$work/simulator.out" | uniq | wc -l)
changes=$((changes - 1))
completed=$(grep -c "^Gromacs completed in " "$log" || true)
[ "$completed" -eq "$changes" ] || fail "$completed units logged for $changes changes"
# one more beginning: the start entry of a unit at 0%
[ "$(grep -c "^Beginning process for Gromacs on " "$log")" -eq $((changes + 1)) ] || fail "beginnings"
grep -q "^Total WUs completed: $completed$" "$log" || fail "shutdown count"
# Each unit lasts over a second, so its frame time is not 0 when the lookup
# found its frame count by the project in its tag.
! grep -q "^Average frame time: 0.000000 " "$log" || fail "a unit's project was not found"
echo "smp units: $changes changes of tag under one name, each logged, exit code 0"
