#!/usr/bin/env bash
# Makes docs/screenshots/dashboard.png: the server on private loopback ports,
# two weeks of history written into its database, four machines reporting
# through the companion protocol (the first on today's client, paused, with
# the client's figures in its extension; the others on the unit file, one of
# them an older monitor without the extension), and the page taken by
# headless Chromium (driven by puppeteer-core from server/tests/browser, so
# the data is in).
# Usage: screenshot.sh <build-dir with vigilon_server> [output.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
server_bin=$(realpath "$1/vigilon_server")
output=$(realpath -m "${2:-$root/docs/screenshots/dashboard.png}")
work=$(mktemp -d "${TMPDIR:-/tmp}/vigilon-screenshot.XXXXXX")
server_pid=""
cleanup() {
    [ -n "$server_pid" ] && kill -TERM "$server_pid" 2>/dev/null && wait "$server_pid" || true
    rm -rf "$work"
}
trap cleanup EXIT

# History: finished units of the last fourteen days.
python3 - "$work/history.db" <<'PYTHON'
import random, sqlite3, sys, time
random.seed(7)
db = sqlite3.connect(sys.argv[1])
db.executescript("""CREATE TABLE units (id INTEGER PRIMARY KEY, machine TEXT NOT NULL,
 user_name TEXT NOT NULL, team INTEGER NOT NULL, unit_name TEXT NOT NULL, core TEXT NOT NULL,
 points INTEGER NOT NULL, frames INTEGER NOT NULL, start REAL NOT NULL, end REAL NOT NULL,
 duration REAL NOT NULL, timed INTEGER NOT NULL);
CREATE TABLE commands (id INTEGER PRIMARY KEY, machine TEXT NOT NULL, command TEXT NOT NULL,
 time REAL NOT NULL); PRAGMA user_version = 1;""")
now = time.time()
machines = [("127.0.0.1-1", "TomJ", 33), ("127.0.0.1-2", "TomJ", 33),
            ("127.0.0.1-3", "Ann", 33), ("127.0.0.1-4", "Kowalski", 1234567)]
end = now - 14 * 86400
for machine, user, team in machines:
    end = now - 14 * 86400 + random.random() * 20000
    while end < now - 600:
        duration = random.uniform(3, 9) * 3600
        points = random.choice([548, 1920, 2113, 780])
        db.execute("INSERT INTO units VALUES (NULL,?,?,?,?,?,?,100,?,?,?,1)",
                   (machine, user, team, random.choice(["p2665_IBX", "p4744_lam5w_300K", "p6024_Protein"]),
                    "GRO-SMP", points, end - duration, end, duration))
        end += duration
db.execute("INSERT INTO commands VALUES (NULL, '127.0.0.1-4', 'restart', ?)", (now - 7200,))
db.execute("INSERT INTO commands VALUES (NULL, '127.0.0.1-1', 'pause', ?)", (now - 60,))
db.commit()
PYTHON

"$server_bin" --listen 127.0.0.1:0 --web 127.0.0.1:0 --db "$work/history.db" --token screenshot-token \
    >"$work/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 50); do grep -qs "^dashboard: " "$work/server.out" && break; sleep 0.1; done
companion=$(sed -n 's/^companion: listening on .*:\([0-9]*\)$/\1/p' "$work/server.out")
url=$(sed -n 's#^dashboard: \(.*\)$#\1#p' "$work/server.out")

# Four machines, two records each a few seconds apart so the estimates show.
python3 - "$companion" <<'PYTHON'
import socket, sys, time
port = int(sys.argv[1])
def send(record, extension):
    with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
        s.recv(2048)
        message = record.encode("latin-1") + b"\0"
        if extension:
            message += extension.encode("latin-1") + b"\0"
        s.sendall(message + b"\0" * (2048 - len(message)))
        s.recv(1)
records = [
    "1 3 {} p18213_R0_C12_G34 0 2400.000000 GenuineIntel 0xa8 100 61000 TomJ 33 0",
    "2 1 {} PEPTIDE (1-42) 0 3600.000000 AuthenticAMD GROGPU3 200 2113 TomJ 33 1",
    "3 7 {} p4744_lam5w_300K 0 2933.000000 GenuineIntel GROGPU2 100 548 Ann 33 0",
    "4 2 {} <img src=x onerror=alert(1)> 0 1800.000000 GenuineIntel GRO-SMP 100 780 Kowalski 1234567 0",
]
extensions = [
    "VGX1 source=api ctl=1 state=RUN paused=1 eta=15840 ppd=245310 prcg=18213/0/12/34",
    "VGX1 source=file ctl=1",
    "VGX1 source=file ctl=0",
    None,
]
for step, start in ((0, [41, 12, 77, 3]), (1, [41, 13, 80, 4])):
    for record, extension, progress in zip(records, extensions, start):
        send(record.format(progress), extension)
    time.sleep(3 if step == 0 else 0)
PYTHON

mkdir -p "$(dirname "$output")"
browser="$root/server/tests/browser"
[ -d "$browser/node_modules/puppeteer-core" ] ||
    (cd "$browser" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund >/dev/null)
NODE_PATH="$browser/node_modules" timeout 60 node "$root/server/tools/screenshot.js" "$url" "$output"
echo "wrote $output"
