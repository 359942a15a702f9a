#!/usr/bin/env bash
# End to end under Xvfb: start in the tray with the tooltip on hover, a tray
# host that is missing at first, the missing-file notice as a dialog, and a
# monitor without a display that goes on as in silent mode.
# Usage: x11_tray.sh <vigilon> <client_simulator> <source-dir>
set -euo pipefail
vigilon=$(realpath "$1") source=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/xsession.sh"
fail() { echo "FAIL: $*"; cat "$work"/*.err 2>/dev/null; exit 1; }

run_monitor() { # <folder> <name> [env assignments...]
    local folder=$1 name=$2
    shift 2
    (cd "$folder" && exec env "$@" "$vigilon" 2>"$work/$name.err") &
    monitor_pid=$!
}

stop_monitor() { # <folder> <name>: SIGTERM ends it in order
    kill -TERM "$monitor_pid"
    wait_exit "$monitor_pid" 10
    monitor_pid=""
    [ "$exit_status" = 0 ] || fail "$2: exit status $exit_status"
    grep -q "^Vigilon stats after shutdown$" "$1/vigilon_log.txt" || fail "$2: no shutdown block"
}

begin_x_test
start_window_manager

# Start in the tray while no tray host runs: the window waits iconified in
# the taskbar instead, and the icon docks once a tray host appears.
folder=$(make_client_folder "$work/tray" "$source" 23 'quiet 1\nfhlog 1\ncpunum 3\n')
run_monitor "$folder" tray
wait_for 30 sh -c "xdotool search --name '^Vigilon v1.1\$' >/dev/null" || fail "no window"
window=$(timeout 5 xdotool search --name '^Vigilon v1.1$' | head -n 1)
wait_for 15 sh -c "xprop -id $window WM_STATE | grep -q Iconic" || fail "not iconified without a tray"
start_tray_host
wait_for 15 prints tray_icon || fail "icon did not dock when the tray host came"
wait_for 15 map_state_is "$window" IsUnMapped || fail "window not withdrawn once docked"

# Hovering shows the tooltip with the status lines; leaving hides it.
icon=$(tray_icon)
eval "$(xwininfo -id "$icon" | awk '/Absolute upper-left X/ { print "x=" $4 }
    /Absolute upper-left Y/ { print "y=" $4 }')"
timeout 5 xdotool mousemove $((x + 4)) $((y + 4))
wait_for 15 prints tooltip_window ||
    fail "no tooltip"
timeout 5 xdotool mousemove 400 400
wait_for 15 prints_nothing tooltip_window ||
    fail "tooltip stays"
stop_monitor "$folder" tray
wait_for 15 prints_nothing tray_icon || fail "icon left behind"

# The missing unit file: a dialog with the notice; Enter confirms it and the
# monitor ends without touching its log.
folder=$(make_client_folder "$work/notice" "$source" 0 'fhlog 1\n')
rm "$work/notice/FAH/unitinfo.txt"
run_monitor "$folder" notice
wait_for 30 prints window_by_title '../unitinfo.txt' || fail "no notice dialog"
dialog=$(window_by_title '../unitinfo.txt')
# The dialog may be gone before the key is released: that error is ours to ignore.
timeout 5 xdotool key --window "$dialog" Return 2>/dev/null || true
wait_exit "$monitor_pid" 10
monitor_pid=""
[ "$exit_status" = 0 ] || fail "notice: exit status $exit_status"
[ ! -e "$folder/vigilon_log.txt" ] || fail "notice: log written"

# No display: said once, then the monitor logs and ends as in silent mode.
folder=$(make_client_folder "$work/nodisplay" "$source" 5 'fhlog 1\n')
run_monitor "$folder" nodisplay -u DISPLAY
wait_for 30 grep -q "^Vigilon v1.1" "$folder/vigilon_log.txt" || fail "no display: no log"
stop_monitor "$folder" nodisplay
[ "$(grep -c 'cannot open the display' "$work/nodisplay.err")" = 1 ] || fail "no display: notice"
# The display going away (the X server ends) ends the monitor in order.
folder=$(make_client_folder "$work/lost" "$source" 7 'fhlog 1\n')
run_monitor "$folder" lost
wait_for 30 grep -q "^Vigilon v1.1" "$folder/vigilon_log.txt" || fail "lost display: no log"
sleep 1
stop_x_session
wait_exit "$monitor_pid" 10
monitor_pid=""
[ "$exit_status" = 0 ] || fail "lost display: exit status $exit_status"
grep -q "^Vigilon stats after shutdown$" "$folder/vigilon_log.txt" || fail "lost display: no shutdown block"
grep -q "connection to the display was lost" "$work/lost.err" || fail "lost display: not said"
echo "x11 tray: icon docks late, tooltip, notice dialog, no display, display lost"
