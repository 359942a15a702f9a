#!/usr/bin/env bash
# Pictures of what a user sees, made under Xvfb with openbox and trayer: the
# status window (docs/screenshots/window.png), the tray icon with its tooltip
# (docs/screenshots/tray_tooltip.png), the setup tool's dialog
# (docs/screenshots/setup_linux.png) and, when xfce4-panel is installed, the
# StatusNotifierItem icon's tooltip in XFCE's panel (tray_sni_xfce.png).
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

# XFCE's panel with only its Status Tray plugin, a StatusNotifierItem host,
# on a session bus of its own, in a home folder of its own.
command -v xfce4-panel >/dev/null || exit 0
stop_tray_host
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
cat >"$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
XML
start_session_bus
xfce4-panel >/dev/null 2>&1 &
remember_pid $!
folder=$(make_client_folder "$work/sni" "$root" 64 'fhlog 1\ncpunum 2\nquiet 1\n')
sed -i 's/^Name: .*/Name: p2665_IBX_in_water/' "$work/sni/FAH/unitinfo.txt"
wait_for 20 sh -c "dbus-send --bus='$DBUS_SESSION_BUS_ADDRESS' --print-reply --dest=org.freedesktop.DBus \
    /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher |
    grep -q 'boolean true'"
(cd "$folder" && exec "$vigilon") &
monitor_pid=$!
sleep 4 # the icon registers and the panel draws it
timeout 5 xdotool mousemove 12 15
sleep 2
timeout 10 import -window root -crop 320x150+0+0 "$out/tray_sni_xfce.png"
kill -TERM "$monitor_pid"
wait_exit "$monitor_pid" 30
monitor_pid=""
echo "wrote $out/tray_sni_xfce.png"
