#!/usr/bin/env bash
# A picture of the setup tool's dialog on Linux, made under Xvfb with
# openbox: docs/screenshots/setup_linux.png.
# Usage: screenshot_setup_linux.sh [vigilon_config binary]   (default: builds the linux preset)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
setup_tool=${1:+$(realpath "$1")}
if [ -z "$setup_tool" ]; then
    bash "$root/tools/install_deps.sh"
    cmake --preset linux -S "$root" >/dev/null
    cmake --build --preset linux -j 2 --target vigilon_config
    setup_tool="$root/build/linux/setup/vigilon_config"
fi
out="$root/docs/screenshots"
mkdir -p "$out"
source "$root/tests/e2e/lib/xsession.sh"
begin_x_test
xsetroot -solid '#3a4a5a'
start_window_manager

folder="$work/FAH/vigilon"
mkdir -p "$folder"
printf 'delay 5\ncpunum 2\nfhlog 1\nstats 1\nipadd 192.168.1.20\n' >"$folder/vigilon.ini"
(cd "$folder" && exec "$setup_tool") &
monitor_pid=$!
dialog_window() {
    timeout 5 xdotool search --onlyvisible --name '^Vigilon Setup' 2>/dev/null | head -n 1
}
wait_for 10 prints dialog_window
dialog=$(dialog_window)
sleep 1
# The dialog with its frame.
timeout 10 import -frame -window "$dialog" "$out/setup_linux.png"
timeout 5 wmctrl -i -c "$dialog"
wait_exit "$monitor_pid" 10
monitor_pid=""
echo "wrote $out/setup_linux.png"
