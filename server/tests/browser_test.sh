#!/usr/bin/env bash
# The dashboard in a real browser: Debian's headless Chromium driven by
# puppeteer-core (browser/dashboard_test.js) against the server with one
# real monitor on 127.0.0.1:25876; the monitor must end with exit 0 after
# the page's Stop.
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
start_server --listen 127.0.0.1
start_monitor 4
DASHBOARD="http://$web/" TOKEN="$token" COMPANION_PORT=25876 MONITOR_ID=127.0.0.1-4 \
    PUPPETEER_SKIP_DOWNLOAD=1 timeout 120 node "$here/browser/dashboard_test.js" 9>&- ||
    fail "the browser checks failed"
await_exit "${monitor_pid[4]}" 10 || fail "the monitor did not stop"
[ "$ended_status" -eq 0 ] || fail "the monitor ended with $ended_status"
echo "browser: the monitor stopped from the page ended with exit 0"
