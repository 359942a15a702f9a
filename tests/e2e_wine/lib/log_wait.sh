# Waits up to 120 s, while the monitor ($monitor_pid) runs, until its log
# ($log) has a line matching $1; otherwise the script's fail, with $2 if given.
await_line() {
    for _ in $(seq 600); do
        grep -Eq "$1" "$log" 2>/dev/null && return 0
        kill -0 "$monitor_pid" 2>/dev/null || fail "the monitor ended by itself"
        sleep 0.2
    done
    fail "${2:-no line $1} within 120 s"
}
