#!/usr/bin/env bash
# All of the server's tests: unit tests, integration with real monitors, the
# dashboard in headless Chromium (over HTTPS in browser_test.sh), the limits
# per source address, and TLS.
# Usage: run_all.sh <server-build-dir> [monitor-build-dir]
# The monitor build (vigilon, client_simulator) defaults to build/server-monitor,
# configured and built here from the root project when it is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(realpath "$1")
monitors=$(realpath -m "${2:-$root/build/server-monitor}")

cmake --build "$build" -j 2
if [ ! -x "$monitors/vigilon" ] || [ ! -x "$monitors/client_simulator" ]; then
    cmake -S "$root" -B "$monitors" -DVIGILON_TESTS=OFF >/dev/null
fi
cmake --build "$monitors" -j 2 --target vigilon client_simulator >/dev/null

(cd "$build" && ctest --output-on-failure -j 2)
args=("$build/vigilon_server" "$monitors/vigilon" "$monitors/client_simulator" "$root")
bash "$here/integration_test.sh" "${args[@]}"
bash "$here/browser_test.sh" "${args[@]}"
bash "$here/client_api_test.sh" "${args[@]}"
bash "$here/limits_test.sh" "${args[@]}"
bash "$here/tls_test.sh" "${args[@]}"
echo "server: all tests passed"
