#!/usr/bin/env bash
# End to end: the built monitor in silent mode without the client's unit
# file says so on stderr, writes no log and ends with exit code 0. (Its log
# of a running client is checked change by change by the soak, soak.sh.)
# Usage: silent_run.sh <vigilon> <client_simulator> <source-dir>
set -euo pipefail
# Silent mode needs no display; without one the notices go to stderr.
unset DISPLAY
vigilon=$1 source=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; [ -f "$log" ] && cat "$log"; exit 1; }

mkdir -p "$work/FAH/vigilon"
cp "$source/data/database.txt" "$work/FAH/vigilon/"
log="$work/FAH/vigilon/vigilon_log.txt"

# Without the unit file: the notice, exit code 0, and no log.
printf 'fhlog 1\nnowin 1\n' >"$work/FAH/vigilon/vigilon.ini"
(cd "$work/FAH/vigilon" && timeout 10 "$vigilon" 2>"$work/notice.txt") || fail "exit code $?"
grep -q "Cannot locate unitinfo.txt file" "$work/notice.txt" || fail "no notice"
[ ! -e "$log" ] || fail "log written without a unit file"

echo "silent run: missing unit file noticed, exit code 0, no log"
