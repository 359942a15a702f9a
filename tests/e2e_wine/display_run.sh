#!/usr/bin/env bash
# End to end on Windows, under Wine on the display of the Windows test run
# (tools/test_windows.sh starts an Xvfb with trayer before Wine's desktop
# process starts, so that Wine docks its tray icons there), or on an Xvfb
# and trayer of its own when run alone:
# the status window's pixels, minimising to the tray icon, the icon's
# double-click back with drawing resumed, Escape and WM_CLOSE each ending the
# monitor in order (CR LF log, exit code 0), the start in the tray, and,
# while exchanges wait on a companion server that never greets, the frame
# drawn, Escape and a click on the close box each ending the wait at once.
# Usage: display_run.sh <vigilon.exe> <wine> <source-dir> <window_helper.exe>
set -euo pipefail
exe=$(realpath "$1") wine=$2 source=$3 helper=$(realpath "$4")
source "$source/tests/e2e/lib/xsession.sh"
fail() {
    echo "FAIL: $*"
    cat "$work"/*.log 2>/dev/null | head -n 40
    exit 1
}
helper() { timeout 60 "$wine" "$helper" "$@" 2>/dev/null | tr -d '\r'; }
window_visible() { [ "$(helper visible)" = 1 ]; }
window_hidden() { [ "$(helper visible)" = 0 ]; }
# Docked icons are the windows trayer holds that are wider than a pixel.
docked_icons() {
    local panel
    panel=$(timeout 5 xdotool search --name '^panel$' 2>/dev/null | head -n 1)
    [ -n "$panel" ] || { echo 0; return; }
    xwininfo -children -id "$panel" | awk '/^ +0x/ && $0 !~ / 1x1\+/ { n++ } END { print n + 0 }'
}
# Counted against the icons docked before the monitor started: a program
# that ended before (a test of the Windows backend) may leave its icon
# behind for a while, as on Windows.
icons_before=0
icon_docked() { [ "$(docked_icons)" -gt "$icons_before" ]; }
no_icon() { [ "$(docked_icons)" -le "$icons_before" ]; }

work=$(mktemp -d)
monitor_pid=""
peer_pid=""
if [ -z "${DISPLAY:-}" ]; then
    start_x_session
    start_tray_host
fi
# A monitor still running at the end is closed like a user would, so that
# no Windows process outlives the test in the shared Wine server.
end_wine_test() {
    if [ -n "$monitor_pid" ]; then
        helper close >/dev/null || true
        timeout 20 tail --pid="$monitor_pid" -f /dev/null || kill "$monitor_pid" 2>/dev/null
        monitor_pid=""
    fi
    [ -z "$peer_pid" ] || kill "$peer_pid" 2>/dev/null || true
    stop_x_session
    rm -rf "$work"
}
trap end_wine_test EXIT

start_monitor() { # <name> <percent> <settings>
    local folder
    folder=$(make_client_folder "$work/$1" "$source" "$2" "$3")
    cp "$exe" "$folder/vigilon.exe"
    icons_before=$(docked_icons)
    (cd "$folder" && exec "$wine" vigilon.exe) >"$work/$1.log" 2>&1 &
    monitor_pid=$!
    log="$folder/vigilon_log.txt"
    wait_for 60 grep -q "^Vigilon v1.1" "$log" || fail "$1: no start entry"
}

check_frame() { # <name> <percent>
    local x y w h
    sleep 2 # a frame after the window shows
    read -r x y w h <<<"$(helper rect)"
    [ -n "$h" ] || fail "$1: no client area"
    timeout 10 import -window root -crop "${w}x${h}+${x}+${y}" -depth 8 "ppm:$work/$1.ppm" ||
        fail "$1: no capture"
    python3 "$source/tests/e2e/lib/frame_pixels.py" "$work/$1.ppm" "$2" || fail "$1: pixels"
}

end_by() { # <helper command>: the monitor ends in order with exit code 0
    helper "$1" >/dev/null
    wait_exit "$monitor_pid" 60
    monitor_pid=""
    [ "$exit_status" = 0 ] || fail "$1: exit status $exit_status"
    grep -q $'^Vigilon stats after shutdown\r$' "$log" || fail "$1: no shutdown block (CR LF)"
}

# Window mode: the frame, minimise to the tray, double-click back.
start_monitor window 42 'fhlog 1\r\n'
wait_for 30 window_visible || fail "no visible window"
check_frame window 42
helper minimize >/dev/null
wait_for 30 window_hidden || fail "minimised window still visible"
wait_for 30 icon_docked || fail "no tray icon"
helper dblclick >/dev/null
wait_for 30 window_visible || fail "window not back"
wait_for 30 no_icon || fail "icon stays"
check_frame back 42
end_by escape

# WM_CLOSE ends it too.
start_monitor close 100 'fhlog 1\r\n'
wait_for 30 window_visible || fail "close: no visible window"
end_by close

# Start in the tray: no window on screen, the icon added.
start_monitor tray 23 'fhlog 1\r\nquiet 1\r\n'
wait_for 30 icon_docked || fail "tray: no icon"
window_hidden || fail "tray: window visible"
end_by close
wait_for 30 no_icon || fail "tray: icon left behind"
# Escape while the exchange with a companion server that never greets waits
# (up to 10 s for each of its steps): the wait ends early, then the shutdown
# sends the final record.
timeout 120 python3 "$source/tests/e2e/lib/quiet_peer.py" --port 25876 --log "$work/quiet.jsonl" \
    >"$work/quiet.out" 2>&1 &
peer_pid=$!
wait_for 10 grep -q "^listening" "$work/quiet.out" || fail "quiet peer: port 25876 busy?"
start_monitor waiting 42 'fhlog 1\r\nstats 1\r\nipadd 127.0.0.1\r\n'
wait_for 30 grep -q "^connection 1$" "$work/quiet.out" || fail "waiting: no connection"
asked=$SECONDS
end_by escape
[ $((SECONDS - asked)) -lt 8 ] || fail "waiting: Escape was held for $((SECONDS - asked)) s"
final_record() {
    python3 -c 'import json, sys
last = max((json.loads(line) for line in open(sys.argv[1])), key=lambda c: c["connection"])
fields = last["text"].split(" ")
sys.exit(0 if len(fields) == 13 and fields[4] == "1" else 1)' "$work/quiet.jsonl" 2>/dev/null
}
wait_for 10 final_record || fail "waiting: no final record"

# A click on the close box: the window's own handling of the click runs
# during the wait, and the close request it makes ends the wait. Each
# exchange waits 10 s for the greeting, one right after the other.
accepted() { grep -c "^connection " "$work/quiet.out" || true; }
more_than() { [ "$(accepted)" -gt "$1" ]; }
seen=$(accepted)
start_monitor clicked 42 'fhlog 1\r\nstats 1\r\nipadd 127.0.0.1\r\n'
wait_for 30 more_than "$seen" || fail "clicked: no connection"
seen=$(accepted)
check_frame clicked 42 # the start-up exchange waits: the idle loop has not run yet
more_than "$seen" && fail "clicked: the frame was checked after the wait"
wait_for 30 more_than "$seen" || fail "clicked: no second exchange"
asked=$SECONDS
end_by closebox
[ $((SECONDS - asked)) -lt 5 ] || fail "clicked: the close box was held for $((SECONDS - asked)) s"
wait_for 10 final_record || fail "clicked: no final record"
echo "wine display run: pixels, tray and back, Escape, WM_CLOSE, start in the tray," \
    "Escape, frame and close box while waiting"
