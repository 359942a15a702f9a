#!/usr/bin/env bash
# Pictures of what a user sees, made under Xvfb with openbox and trayer: the
# status window (docs/screenshots/window.png), the tray icon with its tooltip
# (docs/screenshots/tray_tooltip.png) and the setup tool's dialog
# (docs/screenshots/setup_linux.png).
# Usage: screenshots.sh [build folder]   (default: builds the linux preset)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:+$(realpath "$1")}
if [ -z "$build" ]; then
    bash "$root/tools/install_deps.sh"
    cmake --preset linux -S "$root" >/dev/null
    cmake --build --preset linux -j 2 --target vigilon vigilon_config
    build="$root/build/linux"
fi
vigilon="$build/vigilon"
out="$root/docs/screenshots"
mkdir -p "$out"
source "$root/tests/e2e/lib/xsession.sh"
begin_x_test
xsetroot -solid '#3a4a5a'
start_window_manager
start_tray_host

folder=$(make_client_folder "$work/shots" "$root" 64 'fhlog 1\ncpunum 2\n')
sed -i 's/^Name: .*/Name: p2665_IBX_in_water/' "$work/shots/FAH/unitinfo.txt"
(cd "$folder" && exec "$vigilon") &
monitor_pid=$!
wait_for 10 prints window_by_title 'Vigilon v1.1'
window=$(window_by_title 'Vigilon v1.1')
sleep 2
# The window with its frame, from the top left corner of the screen.
timeout 10 import -frame -window "$window" "$out/window.png"

timeout 5 xdotool windowminimize "$window"
wait_for 5 prints tray_icon
sleep 1.5 # the next update refreshes the tooltip's text
icon=$(tray_icon)
eval "$(xwininfo -id "$icon" | awk '/Absolute upper-left X/ { print "x=" $4 }
    /Absolute upper-left Y/ { print "y=" $4 }')"
timeout 5 xdotool mousemove $((x + 6)) $((y + 6))
wait_for 5 prints tooltip_window
sleep 0.3
timeout 10 import -window root -crop 360x110+440+0 "$out/tray_tooltip.png"
timeout 5 xdotool mousemove 400 400
kill -TERM "$monitor_pid"
wait_exit "$monitor_pid" 30
monitor_pid=""

# The setup tool's dialog with its frame.
folder="$work/setup/FAH/vigilon"
mkdir -p "$folder"
printf 'delay 5\ncpunum 2\nfhlog 1\nstats 1\nipadd 192.168.1.20\n' >"$folder/vigilon.ini"
(cd "$folder" && exec "$build/setup/vigilon_config") &
monitor_pid=$!
dialog_window() {
    timeout 5 xdotool search --onlyvisible --name '^Vigilon Setup' 2>/dev/null | head -n 1
}
wait_for 30 prints dialog_window
dialog=$(dialog_window)
sleep 1
timeout 10 import -frame -window "$dialog" "$out/setup_linux.png"
timeout 5 wmctrl -i -c "$dialog"
wait_exit "$monitor_pid" 30
monitor_pid=""
echo "wrote $out/window.png, $out/tray_tooltip.png and $out/setup_linux.png"
