# An X session of a test's own: Xvfb on a free display, and on request the
# openbox window manager and the trayer tray host. Everything started here is
# stopped by stop_x_session, and nothing else. Source this file, call
# start_x_session, and put stop_x_session in the script's EXIT trap.

x_pids=()
x_pid_file=""

# Stops the servers of a script that ended without its EXIT trap (killed by
# a test runner's time limit): a watcher waits for the script to go.
watch_script() {
    x_pid_file=$(mktemp)
    local script=$$
    (
        trap '' TERM INT
        while kill -0 "$script" 2>/dev/null; do sleep 1; done
        [ -s "$x_pid_file" ] && xargs kill <"$x_pid_file" 2>/dev/null
        rm -f "$x_pid_file"
    ) >/dev/null 2>&1 &
}

remember_pid() {
    x_pids+=("$1")
    echo "$1" >>"$x_pid_file"
}

# Starts Xvfb on the first free display and exports DISPLAY.
start_x_session() {
    local fifo display
    watch_script
    trap 'exit 143' TERM
    trap 'exit 130' INT
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 800x600x24 -noreset -nolisten tcp 3>"$fifo" 2>/dev/null &
    remember_pid $!
    display=$(timeout 20 head -n 1 "$fifo") || { rm -f "$fifo"; echo "Xvfb did not start"; return 1; }
    rm -f "$fifo"
    export DISPLAY=":$display"
    timeout 10 bash -c 'until xdpyinfo >/dev/null 2>&1; do sleep 0.1; done'
}

# Starts openbox and waits until it manages the screen.
start_window_manager() {
    openbox --sm-disable >/dev/null 2>&1 &
    remember_pid $!
    timeout 10 bash -c 'until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do sleep 0.1; done'
}

tray_pid=""
# Starts trayer along the top edge and waits until its window exists.
start_tray_host() {
    trayer --edge top --align right --widthtype request --height 24 --transparent false \
        --tint 0x303030 --SetDockType true >/dev/null 2>&1 &
    tray_pid=$!
    remember_pid $tray_pid
    timeout 10 bash -c 'until xwininfo -root -tree 2>/dev/null | grep -qi "panel"; do sleep 0.1; done'
    sleep 0.5
}

stop_tray_host() {
    stop_server "$tray_pid"
    tray_pid=""
}

# Stops one server started here before the session ends.
stop_server() { # <pid>
    if [ -n "$1" ] && kill "$1" 2>/dev/null; then wait "$1" 2>/dev/null || true; fi
    sed -i "/^$1\$/d" "$x_pid_file"
    return 0
}

# Starts a private D-Bus session bus and exports its address.
start_session_bus() {
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    dbus-daemon --session --nofork --print-address=3 3>"$fifo" 2>/dev/null &
    remember_pid $!
    DBUS_SESSION_BUS_ADDRESS=$(timeout 20 head -n 1 "$fifo") || { rm -f "$fifo"; echo "dbus-daemon did not start"; return 1; }
    rm -f "$fifo"
    export DBUS_SESSION_BUS_ADDRESS
}

# A script's work folder and X session, and the monitor it runs (its pid in
# monitor_pid), all ended with the script. No session bus unless the script
# starts its own: the machine's may have a tray watcher on it.
begin_x_test() {
    unset DBUS_SESSION_BUS_ADDRESS
    work=$(mktemp -d)
    monitor_pid=""
    trap end_x_test EXIT
    start_x_session
}

end_x_test() {
    if [ -n "$monitor_pid" ] && kill "$monitor_pid" 2>/dev/null; then
        timeout 10 tail --pid="$monitor_pid" -f /dev/null || true
    fi
    stop_x_session
    rm -rf "$work"
}

stop_x_session() {
    local pid
    for ((i = ${#x_pids[@]} - 1; i >= 0; i--)); do
        pid=${x_pids[i]}
        if kill "$pid" 2>/dev/null; then wait "$pid" 2>/dev/null || true; fi
    done
    x_pids=()
    [ -n "$x_pid_file" ] && : >"$x_pid_file"
    return 0
}

# Waits up to the given seconds for a command to succeed.
wait_for() {
    local seconds=$1
    shift
    local end=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.1
    done
}

# The id of the first viewable window with the given title, empty if none.
window_by_title() {
    timeout 5 xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}

# Succeeds when the command prints something, or nothing.
prints() { [ -n "$("$@")" ]; }
prints_nothing() { [ -z "$("$@")" ]; }

map_state_is() { [ "$(map_state "$1")" = "$2" ]; }

tooltip_window() {
    timeout 5 xdotool search --onlyvisible --name '^Vigilon tooltip$' 2>/dev/null | head -n 1
}

map_state() { # IsViewable, IsUnMapped or IsUnviewable
    xwininfo -id "$1" 2>/dev/null | awk '/Map State:/ { print $3 }'
}

# A client folder with a fixed unit file at the given percentage and the
# given settings; prints the monitor's folder.
make_client_folder() { # <work> <source> <percent> <settings>
    mkdir -p "$1/FAH/vigilon"
    cp "$2/data/database.txt" "$1/FAH/vigilon/"
    printf 'Current Work Unit\n-----------------\nName: p2665_IBX\nTag: -\nProgress: %s%%  [||________]\n' \
        "$3" >"$1/FAH/unitinfo.txt"
    printf '%b' "$4" >"$1/FAH/vigilon/vigilon.ini"
    echo "$1/FAH/vigilon"
}

# Waits for a process this script started to end and sets exit_status to
# its exit status, or to "timeout" when it did not end in time.
wait_exit() { # <pid> <seconds>
    exit_status=0
    if ! timeout "$2" tail --pid="$1" -f /dev/null; then
        exit_status=timeout
        return 0
    fi
    wait "$1" || exit_status=$?
}

# The tray icon window of the monitor, empty if none is viewable.
tray_icon() {
    timeout 5 xdotool search --onlyvisible --name '^Vigilon tray icon$' 2>/dev/null | head -n 1
}

# Double-clicks the middle of a window with the left button.
double_click() {
    local x y w h
    eval "$(xwininfo -id "$1" | awk '/Absolute upper-left X/ { print "x=" $4 }
        /Absolute upper-left Y/ { print "y=" $4 } / Width:/ { print "w=" $2 } / Height:/ { print "h=" $2 }')"
    timeout 5 xdotool mousemove $((x + w / 2)) $((y + h / 2)) click --repeat 2 --delay 80 1
}

# Saves the window's contents as a PPM image.
capture_window() { # <id> <file>
    timeout 10 import -window "$1" -depth 8 "ppm:$2"
}

xsession_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Checks a frame of the status window ($window) at the given percentage; a
# frame comes about once a second, so a few captures are tried. Calls the
# script's fail when none matches.
check_frame() { # <percent> <name>
    local try
    for try in 1 2 3 4 5; do
        sleep 1.5
        capture_window "$window" "$work/$2.ppm" &&
            python3 "$xsession_lib/frame_pixels.py" "$work/$2.ppm" "$1" 256x135 >"$work/$2.txt" &&
            return 0
    done
    cat "$work/$2.txt"
    fail "$2: pixels"
}
