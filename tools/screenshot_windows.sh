#!/usr/bin/env bash
# A picture of the Windows build's status window, made under Wine on Xvfb
# (docs/screenshots/window_windows.png).
# Usage: screenshot_windows.sh [vigilon.exe]   (default: builds mingw-i686;
# run tools/test_windows.sh once first, which installs Wine and MinGW-w64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=${1:+$(realpath "$1")}
if [ -z "$exe" ]; then
    cmake --preset mingw-i686 -S "$root" >/dev/null
    cmake --build --preset mingw-i686 -j 2 --target vigilon window_helper
    exe="$root/build/mingw-i686/vigilon.exe"
fi
helper_exe="$(dirname "$exe")/tests/window_helper.exe"
source "$root/tests/e2e/lib/xsession.sh"
source "$root/tools/wine_env.sh"
work=$(mktemp -d)
monitor_pid=""
cleanup() {
    if [ -n "$monitor_pid" ]; then
        timeout 30 wine "$helper_exe" close >/dev/null 2>&1 || true
        timeout 20 tail --pid="$monitor_pid" -f /dev/null || kill "$monitor_pid" 2>/dev/null
    fi
    stop_wine_display
    rm -rf "$work"
}
trap cleanup EXIT
start_wine_display "$root"
xsetroot -solid '#3a4a5a'

folder=$(make_client_folder "$work/shot" "$root" 64 'fhlog 1\r\ncpunum 2\r\n')
sed -i 's/^Name: .*/Name: p2665_IBX_in_water/' "$work/shot/FAH/unitinfo.txt"
cp "$root/data/database.txt" "$folder/"
cp "$exe" "$folder/vigilon.exe"
(cd "$folder" && exec wine vigilon.exe) >/dev/null 2>&1 &
monitor_pid=$!
wait_for 60 prints window_by_title 'Vigilon v1.1'
sleep 3
window=$(window_by_title 'Vigilon v1.1')
mkdir -p "$root/docs/screenshots"
timeout 10 import -window "$window" "$root/docs/screenshots/window_windows.png"
echo "wrote $root/docs/screenshots/window_windows.png"
