#!/usr/bin/env bash
# The setup tool's dialog under Xvfb and openbox: a number typed into the
# CPU box and Enter save every setting; the close box and Escape change
# nothing.
# Usage: setup_gtk.sh <vigilon_config> <source-dir>
set -euo pipefail
setup_tool=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/xsession.sh"
# In a sanitizer build: what GTK's libraries keep until exit is not ours.
export LSAN_OPTIONS="suppressions=$here/lib/lsan_desktop.supp:print_suppressions=0"
fail() { echo "FAIL: $*"; cat "$work"/*.err 2>/dev/null; exit 1; }

settings='cpunum 2\ndelay 4\nontop 1\nquiet 1\nipadd 10.0.0.5\nvant! 1\n'

setup_dialog() {
    timeout 5 xdotool search --onlyvisible --name '^Vigilon Setup' 2>/dev/null | head -n 1
}

# Starts the tool in a client folder of its own and waits for its dialog;
# prints nothing, sets folder and dialog.
open_dialog() { # <name>
    folder="$work/$1/FAH/vigilon"
    mkdir -p "$folder"
    printf '%b' "$settings" >"$folder/vigilon.ini"
    cp "$folder/vigilon.ini" "$work/$1.start"
    (cd "$folder" && exec "$setup_tool" 2>"$work/$1.err") &
    monitor_pid=$!
    wait_for 30 prints setup_dialog || fail "$1: no dialog"
    dialog=$(setup_dialog)
    timeout 5 xdotool windowactivate --sync "$dialog" 2>/dev/null || true
}

expect_exit() { # <name> <status>
    wait_exit "$monitor_pid" 30
    monitor_pid=""
    [ "$exit_status" = "$2" ] || fail "$1: exit status $exit_status"
}

begin_x_test
start_window_manager

# A new CPU number and Enter: the file holds every setting, the service name
# the client's fixed one.
open_dialog save
eval "$(xwininfo -id "$dialog" | awk '/Absolute upper-left X/ { print "x=" $4 }
    /Absolute upper-left Y/ { print "y=" $4 }')"
timeout 5 xdotool mousemove $((x + 30)) $((y + 50)) click 1
timeout 5 xdotool key ctrl+a
timeout 5 xdotool type 7
timeout 5 xdotool key Return
expect_exit save 1
printf '%s\n' '[Vigilon setup]' '' 'delay 4' 'cpunum 7' 'ontop 1' 'fhlog 1' 'quiet 1' 'stats 0' \
    'ipadd 10.0.0.5' 'servc 0' 'spath fah-client' 'vant! 1' 'nowin 0' >"$work/save.expected"
cmp "$work/save.expected" "$folder/vigilon.ini" || fail "save: $(cat "$folder/vigilon.ini")"

# The close box ends the tool with the file untouched.
open_dialog close
timeout 5 wmctrl -i -c "$dialog"
expect_exit close 0
cmp "$work/close.start" "$folder/vigilon.ini" || fail "close: file changed"

# Escape leaves the dialog open; Alt+F4 then closes it.
open_dialog escape
timeout 5 xdotool key Escape
sleep 1
prints setup_dialog || fail "escape: dialog gone"
kill -0 "$monitor_pid" 2>/dev/null || fail "escape: tool ended"
timeout 5 xdotool key alt+F4
expect_exit escape 0
cmp "$work/escape.start" "$folder/vigilon.ini" || fail "escape: file changed"
echo "setup dialog: save with Enter, close box, Escape ignored"
