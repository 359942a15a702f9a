#!/usr/bin/env bash
# End to end under Xvfb with openbox and trayer: the status window's pixels,
# always on top, minimising to the tray, the double-click back, a restarted
# tray host, and Escape and the close box each ending the monitor in order.
# Usage: x11_window.sh <vigilon> <client_simulator> <source-dir>
set -euo pipefail
vigilon=$(realpath "$1") source=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/xsession.sh"
fail() { echo "FAIL: $*"; cat "$work"/*.err 2>/dev/null; exit 1; }

begin_x_test
start_window_manager
start_tray_host

start_monitor() { # <folder> <name>
    # The X server drops an ended monitor's window a moment after the
    # process is gone: a busy one must not hand its id to the next monitor.
    wait_for 10 prints_nothing window_by_title 'Vigilon v1.1' || fail "$2: an old window stays"
    (cd "$1" && exec "$vigilon" 2>"$work/$2.err") &
    monitor_pid=$!
    wait_for 30 prints window_by_title 'Vigilon v1.1' || fail "$2: no window"
    window=$(window_by_title 'Vigilon v1.1')
}

# Window mode, always on top.
folder=$(make_client_folder "$work/one" "$source" 42 'ontop 1\nfhlog 1\ncpunum 7\n')
start_monitor "$folder" window
check_frame 42 first-frame
xprop -id "$window" WM_CLASS | grep -q '"GLSample"' || fail "class"
xprop -id "$window" WM_NAME | grep -q '"Vigilon v1.1"' || fail "title"
wait_for 15 sh -c "xprop -id $window _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE" || fail "not on top"

# Minimise: the window is withdrawn and the icon docks in the tray.
timeout 5 xdotool windowminimize "$window"
wait_for 15 map_state_is "$window" IsUnMapped || fail "window still mapped"
wait_for 15 prints tray_icon || fail "no tray icon"
xprop -id "$window" WM_STATE | grep -q Iconic && fail "window left iconic in the taskbar"

# A double-click on the icon brings the window back, and drawing resumes.
double_click "$(tray_icon)"
wait_for 15 map_state_is "$window" IsViewable || fail "window not back"
wait_for 15 prints_nothing tray_icon || fail "icon stays after the window is back"
check_frame 42 after-tray

# A restarted tray host gets the icon back.
timeout 5 xdotool windowminimize "$window"
wait_for 15 prints tray_icon || fail "no tray icon the second time"
stop_tray_host
start_tray_host
wait_for 15 prints tray_icon || fail "icon not docked in the new tray"
double_click "$(tray_icon)"
wait_for 15 map_state_is "$window" IsViewable || fail "window not back from the new tray"

# Escape ends the monitor in order.
timeout 5 xdotool key --window "$window" Escape 2>/dev/null || true
wait_exit "$monitor_pid" 10
monitor_pid=""
[ "$exit_status" = 0 ] || fail "Escape: exit status $exit_status"
grep -q "^Vigilon stats after shutdown$" "$folder/vigilon_log.txt" || fail "Escape: no shutdown block"

# The close box does too.
folder=$(make_client_folder "$work/two" "$source" 100 'fhlog 1\n')
start_monitor "$folder" close
check_frame 100 full-bar
timeout 5 wmctrl -i -c "$window"
wait_exit "$monitor_pid" 10
monitor_pid=""
[ "$exit_status" = 0 ] || fail "close box: exit status $exit_status"
grep -q "^Vigilon stats after shutdown$" "$folder/vigilon_log.txt" || fail "close box: no shutdown block"
echo "x11 window: pixels, on top, tray and back, tray restart, Escape and close box"
