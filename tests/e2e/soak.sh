#!/usr/bin/env bash
# End to end: a short soak. tools/soak.sh with 50 unit changes: each change
# once in the log, at the statistics site and at the companion server, in
# order; descriptors and threads flat; exit code 0 on SIGTERM.
# Usage: soak.sh <vigilon> <client_simulator> <source-dir>
set -euo pipefail
exec bash "$3/tools/soak.sh" "$1" "$2" 50
