# Shared pieces of the server's test scripts: a work folder, the monitors'
# end-to-end helpers (processes stopped on exit, waits with limits), the
# server and monitors. Sourced by integration_test.sh and browser_test.sh
# after they set source_dir.
work=$(mktemp -d "${TMPDIR:-/tmp}/vigilon-server-test.XXXXXX")
token=integration-token-0123456789
# shellcheck source=../../../tests/e2e/lib/client_run.sh
. "$source_dir/tests/e2e/lib/client_run.sh"

# The companion port is shared with other tests: hold its lock while we use it.
lock_companion_port() {
    exec 9>/tmp/vigilon-companion-port.lock
    flock -w 600 9 || fail "could not lock the companion port"
    # Tests that do not take the lock may still hold the port for a while.
    wait_until 300 companion_port_free || fail "port 25876 stayed busy"
}

companion_port_free() { ! ss -Hltn 'sport = :25876' | grep -q .; }

# Starts the server; sets server_pid, web (host:port) and web_url
# (http://host:port or https://host:port). Extra arguments go to it.
start_server() {
    rm -f "$work/server.out"
    "$server_bin" --web 127.0.0.1:0 --db "$work/history.db" --token "$token" "$@" \
        >"$work/server.out" 2>"$work/server.err" 9>&- &
    server_pid=$!
    started_pids+=("$server_pid")
    wait_until 10 grep -qs "^dashboard: " "$work/server.out" || fail "the server did not start"
    web_url=$(sed -n 's#^dashboard: \(https\?://.*\)/$#\1#p' "$work/server.out")
    web=${web_url#*://}
}

stop_server() {
    kill -TERM "$server_pid"
    await_exit "$server_pid" 10 || fail "the server did not stop within 10 s"
    [ "$ended_status" -eq 0 ] || fail "the server ended with $ended_status"
}

# curl; trusts the test's certificate once make_certificate has made one.
api() { curl -sS --max-time 5 ${tls_cert:+--cacert "$tls_cert"} "$@"; }

# A self-signed certificate for 127.0.0.1: sets tls_cert and tls_key (PEM).
make_certificate() {
    tls_cert=$work/cert.pem tls_key=$work/key.pem
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
        -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
        -keyout "$tls_key" -out "$tls_cert" 2>/dev/null || fail "openssl could not make a certificate"
}

# Runs Python over the machines of the API; the statements see "machines"
# (a dict by CPU number) and must not raise.
machines_match() {
    api "$web_url/api/machines" | python3 -c '
import json, sys
machines = {m["cpu"]: m for m in json.load(sys.stdin)}
exec(sys.argv[1])' "$1" 2>/dev/null
}

# A client folder with a simulated client and a silent monitor reporting to
# 127.0.0.1 with CPU number $1; more settings lines in $2.
start_monitor() {
    local folder="$work/m$1"
    mkdir -p "$folder/FAH/vigilon"
    cp "$source_dir/data/database.txt" "$folder/FAH/vigilon/"
    printf 'cpunum %s\nfhlog 1\nstats 1\nnowin 1\nipadd 127.0.0.1\n%b' "$1" "${2:-}" \
        >"$folder/FAH/vigilon/vigilon.ini"
    "$simulator_bin" "$folder/FAH" --period-ms 400 --steps-per-unit 5 >/dev/null 9>&- &
    started_pids+=($!)
    wait_until 10 test -f "$folder/FAH/unitinfo.txt" || fail "no unit file for monitor $1"
    (cd "$folder/FAH/vigilon" && exec env -u DISPLAY PATH="$folder/bin:$PATH" "$monitor_bin") \
        >"$work/monitor$1.out" 2>&1 9>&- &
    monitor_pid[$1]=$!
    started_pids+=($!)
}
