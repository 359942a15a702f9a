#!/usr/bin/env bash
# The dashboard over HTTPS (--tls-cert, --tls-key) with a certificate made
# here by openssl: the API with the token over HTTPS, nothing over plain HTTP,
# a record shown; the warning for a non-loopback dashboard without TLS (and
# none with it); unusable certificate files stop the server. Companion port 0:
# no lock needed.
# Usage: tls_test.sh <vigilon_server> <vigilon> <client_simulator> <source-dir>
set -euo pipefail
server_bin=$(realpath "$1") source_dir=$(realpath "$4")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/harness.sh"

command_status() { # token -> HTTP status of a command for an unknown machine
    api -o /dev/null -w '%{http_code}' -X POST -H "Authorization: Bearer $1" \
        -d '{"command": "stop"}' "$web_url/api/machines/127.0.0.1-99/command"
}

make_certificate
start_server --listen 127.0.0.1:0 --tls-cert "$tls_cert" --tls-key "$tls_key"
[[ "$web_url" == https://127.0.0.1:* ]] || fail "the dashboard is not announced over HTTPS: $web_url"
companion_port=$(sed -n 's/^companion: listening on .*:\([0-9]*\)$/\1/p' "$work/server.out")
record="3 1 40 p18213_R0_C12_G34 0 2400.000000 GenuineIntel 0xa8 100 61000 DemoFolder 1234567 0"
[ "$(timeout 20 python3 "$here/lib/raw_peer.py" "$companion_port" "$record")" = 0 ] ||
    fail "the record was not answered"
machines_match 'assert machines[3]["user"] == "DemoFolder"' || fail "the machine is not shown over HTTPS"
[ "$(command_status "$token")" = 404 ] && [ "$(command_status "wrong-token-0123456789")" = 401 ] ||
    fail "commands over HTTPS: the token is not checked as over HTTP"
status=$(curl -s -o /dev/null -w '%{http_code}' --max-time 5 "http://$web/api/machines" || true)
[ "$status" = 000 ] || fail "plain HTTP was answered ($status)"
! grep -q "warning" "$work/server.err" || fail "a warning with TLS on loopback"
stop_server
echo "tls: the API over HTTPS takes the token as before; plain HTTP gets no answer"

start_server --listen 127.0.0.1:0 --web 0.0.0.0:0
grep -q "without TLS" "$work/server.err" || fail "no warning for a plain dashboard on 0.0.0.0"
stop_server
start_server --listen 127.0.0.1:0 --web 0.0.0.0:0 --tls-cert "$tls_cert" --tls-key "$tls_key"
! grep -q "warning" "$work/server.err" || fail "a warning for a dashboard with TLS"
stop_server
echo "tls: a dashboard on 0.0.0.0 warns without TLS, not with it"

openssl genpkey -algorithm ec -pkeyopt ec_paramgen_curve:prime256v1 -out "$work/other.pem" 2>/dev/null
for pair in "$tls_cert $work/other.pem" "$tls_cert $work/missing.pem" "$tls_key $tls_key"; do
    read -r cert key <<<"$pair"
    status=0
    "$server_bin" --listen 127.0.0.1:0 --web 127.0.0.1:0 --db "$work/history.db" \
        --tls-cert "$cert" --tls-key "$key" >/dev/null 2>"$work/bad.err" || status=$?
    [ "$status" = 1 ] && grep -q "cannot use the TLS certificate" "$work/bad.err" ||
        fail "certificate $cert with key $key: exit $status"
done
echo "tls: a key not of the certificate, a missing key or a key for a certificate stop the server"
echo "tls: all checks passed"
