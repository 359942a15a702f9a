#!/usr/bin/env bash
# End to end under Xvfb with openbox and a private session bus: the tray icon
# as a StatusNotifierItem read back by a test watcher (title, pixmaps, the
# tooltip and its updates), Activate bringing the window back, minimising
# registering it again, the watcher going and coming back, the XEmbed tray
# taking over when only it is left, and SIGTERM ending the monitor in order.
# Usage: x11_sni.sh <vigilon> <client_simulator> <source-dir>
set -euo pipefail
vigilon=$(realpath "$1") source=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/xsession.sh"
fail() { echo "FAIL: $*"; cat "$work"/*.err "$work"/*.out 2>/dev/null; exit 1; }

host_pid=""
start_host() { # <output>: the watcher and host, once it owns the watcher's name
    /usr/bin/python3 "$here/lib/sni_host.py" >"$work/$1" 2>>"$work/host.err" &
    host_pid=$!
    remember_pid "$host_pid"
    wait_for 15 grep -qx ready "$work/$1" || fail "$1: the watcher did not start"
}

has_line() { grep -qFx "$2" "$work/$1"; } # <output> <line>
count_is() { [ "$(grep -cFx "$3" "$work/$2")" = "$1" ]; } # <n> <output> <line>
last_tip_is() { # <output> <line>: the newest tooltip, read at registration or on NewToolTip
    [ "$(grep -E '^(new )?tooltip ' "$work/$1" | tail -n 1 | sed 's/^new //')" = "$2" ]
}
iconic() { xprop -id "$window" WM_STATE | grep -q Iconic; }
not_iconic() { ! iconic; }

begin_x_test
start_window_manager
start_session_bus
start_host host1.out

# Start in the tray: the icon registers with the watcher, the window stays hidden.
folder=$(make_client_folder "$work/sni" "$source" 23 'quiet 1\nfhlog 1\ncpunum 3\n')
(cd "$folder" && exec "$vigilon" 2>"$work/monitor.err") &
monitor_pid=$!
item=org.kde.StatusNotifierItem-$monitor_pid-1
tip='Vigilon|CPU#: 3    WU#: 1\nName: p2665_IBX\nCore: GRO-SMP     Points: 1920\n'
wait_for 30 has_line host1.out "registered $item" || fail "icon not registered"
wait_for 15 has_line host1.out "pixmaps 16x16:1024 22x22:1936 32x32:4096 48x48:9216" || fail "pixmaps"
has_line host1.out "title Vigilon" || fail "title"
wait_for 15 last_tip_is host1.out "tooltip ${tip}23% Completed" || fail "tooltip"
window=$(timeout 5 xdotool search --name '^Vigilon v1.1$' | head -n 1)
[ -n "$window" ] || fail "no window"
wait_for 15 map_state_is "$window" IsUnMapped || fail "window shown beside the icon"
wait_for 15 not_iconic || fail "window iconic beside the icon"

# A new percentage in the unit file: NewToolTip, and the new text read back.
printf 'Current Work Unit\n-----------------\nName: p2665_IBX\nTag: -\nProgress: 57%%  [|||||_____]\n' \
    >"$work/unitinfo.new"
mv "$work/unitinfo.new" "$work/sni/FAH/unitinfo.txt"
wait_for 15 has_line host1.out "new tooltip ${tip}57% Completed" || fail "no NewToolTip with the new text"

# Activate (the double-click): the window comes back drawing, the icon goes.
timeout 5 dbus-send --bus="$DBUS_SESSION_BUS_ADDRESS" --print-reply --dest="$item" /StatusNotifierItem \
    org.kde.StatusNotifierItem.Activate int32:0 int32:0 >/dev/null || fail "Activate"
wait_for 15 map_state_is "$window" IsViewable || fail "window not back"
wait_for 15 has_line host1.out "unregistered $item" || fail "item name not released"
check_frame 57 after-activate

# Minimising registers the icon again.
timeout 5 xdotool windowminimize "$window"
wait_for 15 count_is 2 host1.out "registered $item" || fail "not registered again when minimised"
wait_for 15 map_state_is "$window" IsUnMapped || fail "window still mapped"
wait_for 15 not_iconic || fail "window left iconic beside the icon"

# The watcher goes and no XEmbed tray runs: the window waits in the taskbar;
# a watcher coming back gets the icon again.
stop_server "$host_pid"
wait_for 15 iconic || fail "not iconified without a watcher"
start_host host2.out
wait_for 15 has_line host2.out "registered $item" || fail "not registered with the new watcher"
wait_for 15 not_iconic || fail "iconified window not withdrawn"
wait_for 15 map_state_is "$window" IsUnMapped || fail "window mapped beside the icon"

# Only an XEmbed tray left: the XEmbed icon docks; withdrawn again once a
# watcher is back.
start_tray_host
stop_server "$host_pid"
wait_for 15 prints tray_icon || fail "XEmbed icon did not dock without a watcher"
wait_for 15 not_iconic || fail "iconified beside the XEmbed icon"
wait_for 15 map_state_is "$window" IsUnMapped || fail "window mapped beside the XEmbed icon"
start_host host3.out
wait_for 15 has_line host3.out "registered $item" || fail "not registered with the third watcher"
wait_for 15 prints_nothing tray_icon || fail "XEmbed icon stays beside the item"

# SIGTERM ends the monitor in order.
kill -TERM "$monitor_pid"
wait_exit "$monitor_pid" 10
monitor_pid=""
[ "$exit_status" = 0 ] || fail "exit status $exit_status"
grep -q "^Vigilon stats after shutdown$" "$folder/vigilon_log.txt" || fail "no shutdown block"
echo "x11 sni: registered, title, pixmaps, tooltip and NewToolTip, Activate, minimise, watcher gone and back, XEmbed fallback, SIGTERM"
