#!/usr/bin/env bash
# The dashboard in a real browser: Debian's headless Chromium driven by
# puppeteer-core (browser/dashboard_test.js) against the server with one
# real monitor on 127.0.0.1:25876; the monitor must end with exit 0 after
# the page's Stop. A raw peer (lib/raw_peer.py) stands for a monitor on
# today's client: its records carry the extension, the page shows the
# client's figures and its pause, and the page's Pause reaches it as reply 4.
# The dashboard is served over HTTPS here, with a certificate the test makes
# (client_api_test.sh covers plain HTTP).
# Usage: browser_test.sh <vigilon_server> <vigilon> <client_simulator> <source-dir>
set -euo pipefail
server_bin=$(realpath "$1") monitor_bin=$(realpath "$2") simulator_bin=$(realpath "$3")
source_dir=$(realpath "$4")
declare -A monitor_pid
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/harness.sh"
[ -d "$here/browser/node_modules/puppeteer-core" ] ||
    (cd "$here/browser" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund >/dev/null)

lock_companion_port
make_certificate
start_server --listen 127.0.0.1 --tls-cert "$tls_cert" --tls-key "$tls_key"
start_monitor 4
client_record="8 2 40 p18213_R0_C12_G34 0 2400.000000 GenuineIntel 0xa8 100 61000 DemoFolder 1234567 0"
client_extension="VGX1 source=api ctl=1 state=RUN paused=1 eta=5400 ppd=123456 prcg=18213/0/12/34"
client_exchange() {
    timeout 20 python3 "$here/lib/raw_peer.py" 25876 "$client_record" "$client_extension"
}
[ "$(client_exchange)" = 0 ] || fail "the raw peer's record was not answered"
DASHBOARD="$web_url/" TOKEN="$token" COMPANION_PORT=25876 MONITOR_ID=127.0.0.1-4 \
    CLIENT_MACHINE_ID=127.0.0.1-8 PUPPETEER_SKIP_DOWNLOAD=1 \
    timeout 120 node "$here/browser/dashboard_test.js" 9>&- || fail "the browser checks failed"
await_exit "${monitor_pid[4]}" 10 || fail "the monitor did not stop"
[ "$ended_status" -eq 0 ] || fail "the monitor ended with $ended_status"
echo "browser: the monitor stopped from the page ended with exit 0"

reply=$(client_exchange)
[ "$reply" = 4 ] || fail "the page's Pause reached the raw peer as $reply"
api "$web_url/api/history" | python3 -c '
import json, sys
assert "pause" in [c["command"] for c in json.load(sys.stdin)["commands"]]' ||
    fail "the history does not list the pause"
echo "browser: the page's Pause reached the machine on today's client as reply 4"

# The page's raw machine sent no extension: restart as before, no client commands.
command_status() { # command -> HTTP status
    api -o /dev/null -w '%{http_code}' -X POST -H "Authorization: Bearer $token" \
        -d "{\"command\": \"$1\"}" "$web_url/api/machines/127.0.0.1-66/command"
}
[ "$(command_status pause)" = 409 ] && [ "$(command_status restart)" = 202 ] ||
    fail "a machine without the extension: pause not refused or restart refused"
echo "browser: a machine without the extension takes restart and refuses pause (409)"
