# The Wine side of the Windows runs, sourced by tools/test_windows.sh and
# tools/screenshot_windows.sh (after tests/e2e/lib/xsession.sh): a private
# prefix inside build/, quiet and without the Mono and Gecko installers, on
# an Xvfb with a tray host of its own.

export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Starts Xvfb and trayer, makes or reuses the prefix, and starts one
# persistent, warmed-up Wine server.
start_wine_display() { # <source-dir>
    export WINEPREFIX="$1/build/wineprefix"
    mkdir -p "$1/build"
    start_x_session
    start_tray_host
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "== creating the Wine prefix $WINEPREFIX"
        timeout 300 wineboot -i
        timeout 120 wineserver -w
    fi
    # One persistent Wine server (after any that is still ending), warmed up
    # below by a trivial program of each architecture: without it every
    # program start costs seconds and test discovery can hang.
    timeout 60 wineserver -w || true
    wineserver -p
    # Without a window manager Wine waits about 2 s on every hide, show and
    # destroy of a managed window; "Courier New" is not installed, so the
    # status window's font maps to a monospaced face that is.
    timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    timeout 60 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' \
        /d 'Liberation Mono' /f >/dev/null 2>&1
    local warm_up
    for warm_up in cmd.exe 'C:\windows\syswow64\cmd.exe'; do
        timeout 120 wine "$warm_up" /c exit 0 >/dev/null 2>&1 || {
            echo "Wine does not start $warm_up"
            return 1
        }
    done
}

stop_wine_display() {
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    stop_x_session
}
