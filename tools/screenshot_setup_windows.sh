#!/usr/bin/env bash
# A picture of the Windows build's setup dialog, made under Wine on Xvfb
# (docs/screenshots/setup_windows.png).
# Usage: screenshot_setup_windows.sh [vigilon_config.exe]   (default: builds
# mingw-i686; run tools/test_windows.sh once first, which installs Wine and
# MinGW-w64). WINEPREFIX, when set, names the Wine prefix to use instead of
# build/wineprefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=${1:+$(realpath "$1")}
if [ -z "$exe" ]; then
    cmake --preset mingw-i686 -S "$root" >/dev/null
    cmake --build --preset mingw-i686 -j 2 --target vigilon_config
    exe="$root/build/mingw-i686/setup/vigilon_config.exe"
fi
prefix=${WINEPREFIX:-$root/build/wineprefix}
source "$root/tests/e2e/lib/xsession.sh"
source "$root/tools/wine_env.sh"
export WINEPREFIX=$prefix
work=$(realpath "$(mktemp -d)")
tool_pid=""
cleanup() {
    if [ -n "$tool_pid" ]; then
        kill "$tool_pid" 2>/dev/null || true
        timeout 20 tail --pid="$tool_pid" -f /dev/null || true
    fi
    stop_wine_display
    rm -rf "$work"
}
trap cleanup EXIT

start_x_session
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== creating the Wine prefix $WINEPREFIX"
    timeout 300 wineboot -i
    timeout 120 wineserver -w
fi
# Unmanaged windows: Wine draws the caption and frame itself.
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
xsetroot -solid '#3a4a5a'

folder="$work/FAH/vigilon"
mkdir -p "$folder"
printf '%s\r\n' "[Vigilon setup]" "" "delay 5" "cpunum 2" "ontop 1" "fhlog 1" "quiet 0" \
    "stats 1" "ipadd 192.168.1.20" "servc 0" "vant! 1" "nowin 0" >"$folder/vigilon.ini"
cp "$exe" "$folder/vigilon_config.exe"
(cd "$folder" && exec wine vigilon_config.exe) >/dev/null 2>&1 &
tool_pid=$!
setup_window() { timeout 5 xdotool search --onlyvisible --name '^Vigilon Setup ' 2>/dev/null | head -n 1; }
wait_for 60 prints setup_window
sleep 2
mkdir -p "$root/docs/screenshots"
timeout 10 import -window "$(setup_window)" "$root/docs/screenshots/setup_windows.png"
echo "wrote $root/docs/screenshots/setup_windows.png"
