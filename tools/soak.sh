#!/usr/bin/env bash
# Soak: the monitor in silent mode, re-reading the unit file on every idle
# pass (no delay line), with logging, the companion link and the statistics
# submission on, beside client_simulator through many unit changes. The
# simulator waits for each change to reach the monitor's log before it goes
# on, so no change depends on timing. Afterwards every change must show up
# exactly once in the log (completed, frames, average, submitting and
# beginning lines), once at the statistics site and in order at the
# companion server; RSS, open descriptors and threads, sampled along the
# way, must stay flat from the first changes to the last. SIGTERM then ends
# the monitor: shutdown block, final record, exit code 0.
#
# Usage: soak.sh [build-dir] [changes]               (build/soak, 1000)
#        soak.sh <vigilon> <client_simulator> [changes]
# The first form configures and builds the two programs in build-dir.
# Environment: SOAK_PERIOD_MS (simulator period, default 200),
# SOAK_RSS_TOLERANCE_KB (allowed RSS growth, default 256).
#
# The companion server's port is fixed (25876), so the soak's server listens
# on a loopback address of its own (127.x.y.z, drawn at random): monitors of
# other tests, which use 127.0.0.1, neither reach it nor are answered by it.
# While another program holds the port on all addresses, the soak waits
# (about 5 minutes at most). The statistics site is a loopback
# tools/stats_site.py on a free port, reached as the monitor's HTTP proxy, so
# neither a name for it nor port 80 is needed.
set -euo pipefail
unset DISPLAY # silent mode needs no display
root=$(cd "$(dirname "$0")/.." && pwd)

if [ $# -ge 2 ] && [ -f "$1" ] && [ -f "$2" ]; then
    vigilon=$(realpath "$1") simulator=$(realpath "$2") changes=${3:-1000}
else
    build=${1:-$root/build/soak} changes=${2:-1000}
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    cmake --build "$build" -j 2 --target vigilon client_simulator >/dev/null
    build=$(realpath "$build")
    vigilon=$build/vigilon simulator=$build/client_simulator
fi
case $changes in '' | *[!0-9]*) echo "soak: changes must be a number" >&2 && exit 2 ;; esac
[ "$changes" -ge 10 ] || { echo "soak: at least 10 changes" >&2 && exit 2; }
period=${SOAK_PERIOD_MS:-200}
rss_tolerance=${SOAK_RSS_TOLERANCE_KB:-256}
# Figures are compared over the first and the last `window` changes.
window=$((changes / 5 < 100 ? changes / 5 : 100))
# Each change takes two periods and the monitor's answer; this bounds every
# process, so nothing outlives a stuck run.
limit=$((120 + changes * (2 * period + 500) / 1000))
companion_port=25876
companion_address=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 1))

work=$(mktemp -d "${TMPDIR:-/tmp}/vigilon-soak.XXXXXX")
# cleanup (the EXIT trap), fail, wait_until, line_count_at_least, await_exit,
# monitor_env.
# shellcheck source=SCRIPTDIR/../tests/e2e/lib/client_run.sh
. "$root/tests/e2e/lib/client_run.sh"

# Drops a process that has been waited for from the list the EXIT trap ends.
forget_pid() {
    local kept=() pid
    for pid in "${started_pids[@]}"; do [ "$pid" = "$1" ] || kept+=("$pid"); done
    started_pids=("${kept[@]}")
}

# Starts a loopback peer, bounded by the run's limit, and waits until it
# listens; its pid goes to peer_pid. A peer that finds its port taken is
# started again, for up to $2 tries about a second apart (another test may
# hold the port).
start_soak_peer() {
    local name=$1 patience=$2
    shift 2
    while :; do
        timeout $((limit + 120)) python3 "$@" >"$work/$name.out" 2>&1 &
        peer_pid=$!
        started_pids+=("$peer_pid")
        wait_until 10 peer_settled "$work/$name.out" "$peer_pid"
        grep -qs "^listening on" "$work/$name.out" && return 0
        grep -qs "Address already in use" "$work/$name.out" && [ "$patience" -gt 0 ] &&
            await_exit "$peer_pid" 5 || return 1
        forget_pid "$peer_pid"
        sleep 1
        patience=$((patience - 1))
    done
}
peer_settled() { grep -qs "^listening on" "$1" || ! kill -0 "$2" 2>/dev/null; }

# The client folder: FAH/ with the simulator's files, FAH/vigilon/ with the
# monitor's settings and the shipped database.
client=$work/FAH folder=$client/vigilon log=$folder/vigilon_log.txt
mkdir -p "$folder"
cp "$root/data/database.txt" "$folder/"
printf '%s\n' "cpunum 7" "fhlog 1" "stats 1" "ipadd $companion_address" "vant! 1" "nowin 1" \
    >"$folder/vigilon.ini"
"$simulator" "$client" --once >"$work/simulator.out" || fail "simulator --once"

start_soak_peer companion 250 "$root/tools/companion_server.py" --address "$companion_address" \
    --port "$companion_port" --reply 0 --log "$work/companion.jsonl" ||
    fail "companion server did not start (port $companion_port busy?)"
companion_pid=$peer_pid
start_soak_peer site 0 "$root/tools/stats_site.py" --address 127.0.0.1 --port 0 \
    --log "$work/site.jsonl" || fail "statistics site did not start"
site_pid=$peer_pid
site_port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/site.out")

seconds_started=$SECONDS
(cd "$folder" && exec "${monitor_env[@]}" -u no_proxy -u NO_PROXY \
    http_proxy="http://127.0.0.1:$site_port" timeout "$limit" "$vigilon") \
    >"$work/monitor.out" 2>&1 &
guard_pid=$!
started_pids+=("$guard_pid")
# The monitor itself is the child of its time-limit guard.
monitor_child() {
    monitor_pid=$(cat "/proc/$guard_pid/task/$guard_pid/children" 2>/dev/null) &&
        [ -n "$monitor_pid" ]
}
wait_until 10 monitor_child || fail "the monitor did not start"
monitor_pid=${monitor_pid%% *}
# The second record comes from the first idle pass: from then on a change is
# a change of the running monitor, which it logs.
wait_until 30 line_count_at_least "$work/companion.jsonl" 2 || fail "no records from the monitor"

# Samples: the simulator's current unit, RSS (kB), open descriptors, threads.
sample() {
    local key value rest rss="" threads="" unit fds
    while read -r key value rest; do
        case $key in VmRSS:) rss=$value ;; Threads:) threads=$value ;; esac
    done <"/proc/$monitor_pid/status" || return 0
    fds=$(find "/proc/$monitor_pid/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)
    unit=$(tail -n 1 "$work/simulator.out" | cut -d ' ' -f 2)
    if [ -n "$rss" ]; then echo "$unit $rss $fds $threads"; fi
}
(while kill -0 "$monitor_pid" 2>/dev/null; do sample; sleep 0.2; done) >"$work/samples.txt" &
sampler_pid=$!
started_pids+=("$sampler_pid")

# Unit 1 is on file already; the run completes units 1 to changes + 1, so
# units 2 to changes + 1 are the changes.
"$simulator" "$client" --period-ms "$period" --steps-per-unit 1 --units $((changes + 1)) \
    --wait-for-log "$log" >"$work/simulator.out" 2>&1 &
simulator_pid=$!
started_pids+=("$simulator_pid")
await_exit "$simulator_pid" "$limit" || fail "the simulator did not finish in $limit s"
forget_pid "$simulator_pid"
[ "$ended_status" -eq 0 ] || fail "simulator exit code $ended_status"
seconds_run=$((SECONDS - seconds_started))

# The last change's record and request may still be on their way.
last_record() { grep -q "\"unit_count\": \"$((changes + 1))\"" "$work/companion.jsonl"; }
wait_until 30 last_record || fail "the last unit never reached the companion server"
wait_until 30 line_count_at_least "$work/site.jsonl" "$changes" ||
    fail "requests missing at the site"
sample >>"$work/samples.txt"
kill "$sampler_pid"
await_exit "$sampler_pid" 10 || fail "the sampler did not end"
forget_pid "$sampler_pid"

kill -TERM "$monitor_pid"
await_exit "$guard_pid" 30 || fail "the monitor did not end after SIGTERM"
forget_pid "$guard_pid"
[ "$ended_status" -eq 0 ] || fail "monitor exit code $ended_status"
closing_record() { grep -q '"monitor_closing": "1"' "$work/companion.jsonl"; }
wait_until 15 closing_record || fail "no final record"
for pid in "$companion_pid" "$site_pid"; do
    kill -TERM "$pid"
    await_exit "$pid" 15 || fail "peer $pid did not end"
    forget_pid "$pid"
done

sanitized=0
grep -aq "__asan_init" "$vigilon" && sanitized=1
python3 - "$work" "$root/data/database.txt" "$changes" "$window" "$rss_tolerance" "$sanitized" \
    "$seconds_run" <<'PYTHON' || fail "comparison"
import json, re, sys
from urllib.parse import parse_qs, urlsplit

work, database, changes, window, tolerance, sanitized, seconds = sys.argv[1:]
changes, window, tolerance, seconds = int(changes), int(window), int(tolerance), int(seconds)
problems = []

def check(condition, text):
    if not condition:
        problems.append(text)
    return condition

# Units as the simulator wrote them: number -> the first word of the name,
# which is what the monitor reads.
names = {}
for line in open(work + "/simulator.out"):
    match = re.fullmatch(r"unit (\d+) (\S+).* \d+%\n", line)
    if match:
        names[int(match.group(1))] = match.group(2)
check(sorted(names) == list(range(1, changes + 2)), "simulator units 1..%d" % (changes + 1))
records = {}
for line in open(database):
    fields = line.split()
    if len(fields) == 8:
        records.setdefault(int(fields[0]), fields)
def project(name):
    return records.get(int(re.match(r"p(\d+)", name).group(1)))

# The log: start entry, one group of five lines per change, shutdown block.
lines = open(work + "/FAH/vigilon/vigilon_log.txt").read().split("\n")
on = r" on \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4}"
check(lines[0].startswith("Vigilon v1.1")
      and re.fullmatch("Beginning process for %s%s" % (names[1], on), lines[3]),
      "start entry: %r" % lines[:4])
groups, at = 0, 4
while at + 5 <= len(lines) and " completed in " in lines[at]:
    done, new = names.get(groups + 1, "?"), names.get(groups + 2, "?")
    expected = [r"%s completed in \d+\.\d{6} minutes%s" % (done, on),
                r"%s frames total" % (project(done)[6] if project(done) else 0),
                r"Average frame time: \d+\.\d{6} minutes per frame",
                r"Submitting data to stats\.vantor\.net\.\.\.",
                r"Beginning process for %s%s" % (new, on)]
    if not all(check(re.fullmatch(e, l), "change %d, log line %r" % (groups + 1, l))
               for e, l in zip(expected, lines[at:at + 5])):
        break
    groups, at = groups + 1, at + 5
check(groups == changes, "%d change groups in the log, not %d" % (groups, changes))
check(lines[at:at + 2] == ["-" * 48, "Vigilon stats after shutdown"],
      "shutdown block at line %d" % (at + 1))
check("Total WUs completed: %d" % changes in lines[at:], "shutdown count")

# The site: one request per change, in order, for the finished unit.
requests = [json.loads(l) for l in open(work + "/site.jsonl")]
check(len(requests) == changes, "%d requests at the site, not %d" % (len(requests), changes))
for i, request in enumerate(requests, 1):
    url = urlsplit(request["path"])
    query = {k: v[0] for k, v in parse_qs(url.query).items()}
    finished = project(names.get(i, "p0"))
    if not check(url.netloc == "stats.vantor.net" and url.path == "/folding/unitstats.php"
                 and query.get("wucount") == str(i) and query.get("protein") == names.get(i)
                 and query.get("core") == (finished[7] if finished else "Unknown"),
                 "request %d: %s" % (i, request["path"])):
        break

# The companion server: units 1 to changes + 1 in order, each seen, each with
# its own name and database record, then the one final record.
connections = [json.loads(l) for l in open(work + "/companion.jsonl")]
fields = [c["fields"] for c in connections]
check(all(f is not None for f in fields), "records of thirteen fields")
fields = [f for f in fields if f is not None]
counts = [int(f["unit_count"]) for f in fields]
check(counts == sorted(counts) and sorted(set(counts)) == list(range(1, changes + 2)),
      "unit counts in order, each unit seen once or more")
for f in fields:
    unit = int(f["unit_count"])
    record = project(names.get(unit, "p0"))
    if not check(f["unit_name"] == names.get(unit)
                 and f["core_name"] == (record[7] if record else "Unknown")
                 and f["unit_points"] == (record[5] if record else "0").split(".")[0],
                 "record for unit %d: %s" % (unit, f)):
        break
check([f["monitor_closing"] for f in fields].count("1") == 1
      and fields[-1]["monitor_closing"] == "1", "one final record, the last")

# Resources while the first and the last `window` changes were current.
samples = [tuple(map(int, l.split())) for l in open(work + "/samples.txt")
           if re.fullmatch(r"\d+ \d+ \d+ \d+\n", l)]
first = [s for s in samples if 2 <= s[0] <= window + 1]
last = [s for s in samples if changes + 2 - window <= s[0] <= changes + 1]
if check(first and last, "samples in both windows (%d samples)" % len(samples)):
    def figures(part):
        return (max(s[1] for s in part), min(s[2] for s in part), max(s[2] for s in part),
                min(s[3] for s in part), max(s[3] for s in part), len(part))
    a, b = figures(first), figures(last)
    print("%-28s %14s %14s" % ("", "first %d" % window, "last %d" % window))
    print("%-28s %14d %14d" % ("RSS, highest (kB)", a[0], b[0]))
    print("%-28s %14s %14s" % ("open descriptors, min/max", "%d/%d" % a[1:3], "%d/%d" % b[1:3]))
    print("%-28s %14s %14s" % ("threads, min/max", "%d/%d" % a[3:5], "%d/%d" % b[3:5]))
    print("%-28s %14d %14d" % ("samples", a[5], b[5]))
    if sanitized == "1":
        print("RSS growth not judged: the sanitizer keeps freed memory in quarantine")
    else:
        check(b[0] - a[0] <= tolerance,
              "RSS grew by %d kB (tolerance %d kB)" % (b[0] - a[0], tolerance))
    check(b[1] <= a[1], "open descriptors grew")
    check(b[3] <= a[3], "threads grew")
print("%d changes in %d s (%.0f ms each): %d log groups, %d site requests, %d records"
      % (changes, seconds, 1000.0 * seconds / changes, groups, len(requests), len(fields)))
for problem in problems[:20]:
    print("problem:", problem)
sys.exit(1 if problems else 0)
PYTHON
echo "soak: $changes changes, nothing lost or doubled, resources flat, exit code 0"
