# Shared by the end-to-end scripts that run the monitor in a temporary client
# folder beside loopback peers. The sourcing script sets $work first; every
# process it starts goes into started_pids, which the EXIT trap ends.
started_pids=()

cleanup() {
    local pid
    for pid in "${started_pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "${started_pids[@]}"; do
        timeout 10 tail --pid="$pid" -f /dev/null 2>/dev/null || kill -KILL "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    local file
    for file in "$work"/*.out "$work"/*.err "$work"/*.jsonl "$work"/*/FAH/vigilon/vigilon_log.txt; do
        [ -f "$file" ] && { echo "--- $file"; head -c 4000 "$file"; echo; }
    done
    exit 1
}

# Runs a test command every 0.1 s until it succeeds; fails after $1 seconds.
wait_until() {
    local seconds=$1
    shift
    local tries=$((seconds * 10))
    while [ "$tries" -gt 0 ]; do
        "$@" && return 0
        sleep 0.1
        tries=$((tries - 1))
    done
    return 1
}

line_count_at_least() { [ -f "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ]; }

# Waits at most $2 seconds for process $1 to end; its exit code goes to
# ended_status.
await_exit() {
    timeout "$2" tail -s 0.05 --pid="$1" -f /dev/null || return 1
    ended_status=0
    wait "$1" || ended_status=$?
}

# Starts a peer in the background and waits until it listens.
start_peer() {
    local name=$1
    shift
    timeout 300 python3 "$@" >"$work/$name.out" 2>&1 &
    started_pids+=($!)
    peer_pid=$!
    wait_until 10 grep -q "^listening on" "$work/$name.out"
}

# Ends a peer this script started and waits for it (bounded).
stop_peer() {
    kill -TERM "$1" 2>/dev/null || true
    await_exit "$1" 10 || fail "peer $1 did not end"
}

# A client folder FAH/ with the client's files and the monitor's folder
# FAH/vigilon/ holding its settings and protein database.
make_client_folder() {
    local folder=$1 settings=$2
    mkdir -p "$folder/FAH/vigilon"
    write_unit_file "$folder" "p2665_IBX in water" "P2665R2C41G150" 12
    printf '%s\n' "[settings]" "username=TomJ" "team=33" "passkey=" "asknet=no" \
        "machineid=3" "bigpackets=normal" "local=12" "" "[http]" "active=no" \
        "host=localhost" "port=8080" "" "[core]" "priority=96" \
        "disableassembly=no" >"$folder/FAH/client.cfg"
    # Records of database.txt: project, name, atoms, preferred and final
    # deadline (days), points, frames, core.
    printf '%s\n' "2665 p2665_IBX_in_water 14170 6 6 1920 100 GRO-SMP" \
        "4744 p4744_lam5w_300K 1254 2 3 548 100 GROGPU2" >"$folder/FAH/vigilon/database.txt"
    printf "%b" "$settings" >"$folder/FAH/vigilon/vigilon.ini"
}

# Rewrites ../unitinfo.txt as the client does (CR LF), replacing it whole.
write_unit_file() {
    local folder=$1 name=$2 tag=$3 percent=$4
    printf '%s\r\n' "Current Work Unit" "-----------------" "Name: $name" "Tag: $tag" \
        "Download time: November 19 05:56:56" "Due time: November 25 05:56:56" \
        "Progress: $percent%  [|_________]" >"$folder/FAH/unitinfo.new"
    mv "$folder/FAH/unitinfo.new" "$folder/FAH/unitinfo.txt"
}

# Checks the companion server's JSON log with the Python statements in $2;
# "records" is the list of logged connections.
check_records() {
    python3 - "$1" "$2" <<'PYTHON' || fail "records of $1"
import json, re, sys
records = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
try:
    exec(sys.argv[2], {"records": records, "re": re})
except AssertionError as error:
    print("assertion failed:", error)
    for record in records:
        print(record)
    sys.exit(1)
PYTHON
}


# The monitor's environment: no proxy between it and the loopback peers.
monitor_env=(env -u http_proxy -u HTTP_PROXY -u https_proxy -u HTTPS_PROXY -u all_proxy -u ALL_PROXY)

# Whether the statistics site can be stood in for: its host name must resolve
# to 127.0.0.1 for the monitor only, through a private /etc/hosts in a mount
# namespace of its own (root and unshare). Sets site_reason when not.
site_hosts_possible() {
    site_reason=""
    if [ "$(id -u)" -ne 0 ]; then
        site_reason="not root"
    elif ! command -v unshare >/dev/null || ! unshare -m --propagation private true 2>/dev/null; then
        site_reason="unshare -m unavailable"
    fi
    [ -z "$site_reason" ]
}

# Runs the monitor $2 in the client folder $1 for at most $3 seconds, with the
# statistics site's host name on 127.0.0.1; output to $4. In the background:
# its pid is monitor_pid.
start_monitor_with_site() {
    printf '127.0.0.1\tlocalhost\n127.0.0.1\tstats.vantor.net\n' >"$work/hosts"
    # shellcheck disable=SC2016 # the inner shell expands its own arguments
    (cd "$1/FAH/vigilon" && exec "${monitor_env[@]}" timeout "$3" unshare -m --propagation private \
        sh -c 'mount --bind "$1" /etc/hosts && exec "$2"' sh "$work/hosts" "$2") >"$4" 2>&1 &
    monitor_pid=$!
    started_pids+=("$monitor_pid")
}
