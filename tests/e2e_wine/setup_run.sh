#!/usr/bin/env bash
# End to end on Windows, under Wine: the setup tool in a client folder shows
# vigilon.ini in its dialog, with the service name made from the folder;
# "Save and Exit" writes the edited settings with CR LF line ends and ends
# with exit code 1; Escape leaves the dialog open; the close box ends it with
# exit code 0 and the file untouched. Runs on the display of the Windows test
# run, or on an Xvfb of its own when DISPLAY is unset.
# Usage: setup_run.sh <vigilon_config.exe> <wine> <source-dir> <setup_helper.exe>
set -euo pipefail
exe=$(realpath "$1") wine=$2 source=$3 helper=$(realpath "$4")
source "$source/tests/e2e/lib/xsession.sh"
work=$(realpath "$(mktemp -d)")
folder="$work/FAH/vigilon"
ini="$folder/vigilon.ini"
tool_pid=""
fail() {
    echo "FAIL: $*"
    [ -f "$ini" ] && od -c "$ini" | head -n 40
    exit 1
}
helper() { timeout 60 "$wine" "$helper" "$@" 2>/dev/null | tr -d '\r'; }
dialog_open() { [ "$(helper exists)" = 1 ]; }

if [ -z "${DISPLAY:-}" ]; then
    start_x_session
fi
# A dialog still open at the end is closed like a user would.
end_wine_test() {
    if [ -n "$tool_pid" ]; then
        helper close >/dev/null || true
        timeout 20 tail --pid="$tool_pid" -f /dev/null || kill "$tool_pid" 2>/dev/null
    fi
    stop_x_session
    rm -rf "$work"
}
trap end_wine_test EXIT

start_tool() {
    (cd "$folder" && exec "$wine" vigilon_config.exe) >/dev/null 2>&1 &
    tool_pid=$!
    wait_for 60 dialog_open || fail "no dialog"
}

end_tool() { # <helper command> <exit status>
    helper "$1" >/dev/null
    wait_exit "$tool_pid" 60
    tool_pid=""
    [ "$exit_status" = "$2" ] || fail "$1: exit status $exit_status, not $2"
}

mkdir -p "$folder"
cp "$exe" "$folder/vigilon_config.exe"
printf '%s\r\n' "[Vigilon setup]" "" "delay 3" "cpunum -5" "ontop 1" "fhlog 0" "quiet 1" \
    "stats 0" "ipadd 10.0.0.7" "servc 1" "spath old-name" "vant! 1" "nowin 0" >"$ini"
# Wine's current directory is Z:\...\FAH\vigilon; the name is made from its
# parent, Z:\...\FAH\, with '+' for '\'.
service="FAH@Z:${work//\//+}+FAH+FAH502-Console.exe"

# The file's values and the template's texts, in the template's order.
start_tool
expected_texts="1|-|Save and Exit
102|-|-5
103|-|CPU number(1-3000)
104|-|3
101|1|Always on top
107|0|Enable log file
108|1|Start in system tray
109|0|Start in silent mode
110|0|Allow Vigilon to send stats to Dornhelm
113|1|Let Dornhelm control Vigilon remotely
111|-|10.0.0.7
114|-|$service
117|1|Send data to Team Vantor's stat server
105|-|File update frequency(in minutes)
106|-|Basic Settings
112|-|IP address for Dornhelmer
115|-|Name of your Folding @ Home service:
116|-|Advanced Settings
122|-|Team Vantor Stat Server"
diff <(echo "$expected_texts") <(helper texts) || fail "dialog texts"

# An edited CPU number saved: every setting written again, CR LF ended.
helper set 102 7 >/dev/null
end_tool save 1
printf '%s\r\n' "[Vigilon setup]" "" "delay 3" "cpunum 7" "ontop 1" "fhlog 0" "quiet 1" \
    "stats 0" "ipadd 10.0.0.7" "servc 1" "spath $service" "vant! 1" "nowin 0" >"$work/expected.ini"
cmp "$work/expected.ini" "$ini" || fail "saved file"

# Escape is no way out; the close box ends without writing.
cp "$ini" "$work/before.ini"
start_tool
helper escape >/dev/null
sleep 1
dialog_open || fail "Escape closed the dialog"
end_tool close 0
cmp "$work/before.ini" "$ini" || fail "the close box changed the file"
echo "wine setup run: texts, save with CR LF, Escape ignored, close without writing"
