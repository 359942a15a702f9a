#!/usr/bin/env bash
# Runs the readers' fuzz target for FUZZ_SECONDS (default 20) from a small
# seed corpus; any crash or sanitizer report fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake --preset linux-fuzz -S "$root" >/dev/null
cmake --build --preset linux-fuzz --target fuzz_readers
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
printf '\000[Vigilon setup]\n\ndelay 5\ncpunum 2\nipadd 1.2.3.4\nspath a b\n' >"$corpus/settings"
printf '\001usern x\nteam# 3\nscore 1\n' >"$corpus/setup"
printf '\002[settings]\nusername=x\nteam=5\nmachineid=3\n' >"$corpus/client"
printf '\003Name: p2665_IBX\nDownload time: May 1 1:00:00\nDue time: May 2 1:00:00\nProgress: 5%%\n' >"$corpus/unit"
head -n 20 "$root/data/database.txt" | { printf '\004'; cat; } >"$corpus/database"
cd "$corpus"
"$root/build/linux-fuzz/fuzz/fuzz_readers" -max_total_time="${FUZZ_SECONDS:-20}" -max_len=4096 \
    "$corpus" 2>&1 | tail -n 2
