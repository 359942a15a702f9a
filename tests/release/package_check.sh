#!/usr/bin/env bash
# Checks the release archives. Each unpacks to one folder vigilon/ holding
# exactly the two programs, database.txt and README.txt. The zip's programs
# are stripped 32-bit Windows GUI programs that need no MinGW DLL, and its
# README has CR LF line ends. The tar.gz's programs are stripped x86-64 ELF
# files that answer --help and --version, and its monitor, unpacked into a
# client folder, starts in silent mode without a display, logs its start
# entry and ends with code 0 on SIGTERM.
# The server's Debian package holds /usr/bin/vigilon_server (stripped) and
# its systemd unit, depends on the libraries it links, and is installed here
# (dpkg -i, as root or through sudo; it must not be installed already): its
# postinst makes the user vigilon-server, /var/lib/vigilon-server and the
# token file; the unit's ExecStart line, run as the unit's user (setpriv:
# systemd is not needed) with free loopback ports added, answers a monitor's
# record and the dashboard's requests, takes a command with the token from
# the file, and ends with code 0 on SIGTERM. dpkg -r keeps the token and the
# database, dpkg --purge removes them; the check then deletes the user.
# Usage: package_check.sh <folder holding the three> | <zip> <tar.gz> <deb>
set -euo pipefail
export LC_ALL=C
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
monitor="" server="" installed=0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
cleanup() {
    [ -n "$monitor" ] && kill -KILL "$monitor" 2>/dev/null || true
    if [ -n "$server" ]; then
        $sudo kill -TERM "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    if [ "$installed" = 1 ]; then
        $sudo dpkg --purge vigilon-server >/dev/null 2>&1 || true
        $sudo userdel vigilon-server >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

zip="" tgz="" deb=""
if [ $# -eq 1 ] && [ -d "$1" ]; then
    shopt -s nullglob
    zips=("$1"/vigilon-*-windows.zip) tgzs=("$1"/vigilon-*-linux-x86_64.tar.gz)
    debs=("$1"/vigilon-server_*.deb)
    shopt -u nullglob
    [ ${#zips[@]} -eq 1 ] && zip=${zips[0]}
    [ ${#tgzs[@]} -eq 1 ] && tgz=${tgzs[0]}
    [ ${#debs[@]} -eq 1 ] && deb=${debs[0]}
elif [ $# -eq 3 ]; then
    for archive in "$@"; do
        case $archive in *.zip) zip=$archive ;; *.tar.gz) tgz=$archive ;; *.deb) deb=$archive ;; esac
    done
fi
[ -f "$zip" ] && [ -f "$tgz" ] && [ -f "$deb" ] ||
    fail "usage: $0 <folder> | <windows.zip> <linux.tar.gz> <server.deb>"
zip=$(realpath "$zip") tgz=$(realpath "$tgz") deb=$(realpath "$deb")
version=$(basename "$tgz" | sed -n 's/^vigilon-\(.*\)-linux-x86_64\.tar\.gz$/\1/p')
[ "$(basename "$zip")" = "vigilon-$version-windows.zip" ] || fail "versions differ: $zip $tgz"
[ "$(basename "$deb")" = "vigilon-server_${version}_amd64.deb" ] || fail "versions differ: $deb $tgz"

# Unpacks an archive into a folder after checking that every entry lies in
# vigilon/, then compares the folder's whole contents with the expected list.
unpack() {
    local archive=$1 folder=$2 expected=$3 outside
    outside=$(cmake -E tar tf "$archive" | grep -Ev '^vigilon(/|/[^/]+)?$' || true)
    [ -z "$outside" ] || fail "$archive: entries outside vigilon/: $outside"
    mkdir -p "$folder"
    (cd "$folder" && cmake -E tar xf "$archive")
    local found
    found=$(cd "$folder" && find . -mindepth 1 | sort | xargs)
    [ "$found" = "$expected" ] || fail "$archive holds: $found"
}

# The Windows archive.
win="$work/windows"
unpack "$zip" "$win" "./vigilon ./vigilon/README.txt ./vigilon/database.txt ./vigilon/vigilon.exe ./vigilon/vigilon_config.exe"
for program in vigilon vigilon_config; do
    exe="$win/vigilon/$program.exe"
    file -b "$exe" | grep -q '^PE32 executable (GUI) Intel 80386' || fail "$program.exe: $(file -b "$exe")"
    ! objdump -h "$exe" | grep -q '\.debug_' || fail "$program.exe is not stripped"
    runtime=$(objdump -p "$exe" | awk '/DLL Name:/ { print $3 }' | grep -i '^lib' || true)
    [ -z "$runtime" ] || fail "$program.exe needs $runtime"
done
readme="$win/vigilon/README.txt"
! grep -qv $'\r$' "$readme" || fail "README.txt of the zip has lines without CR LF"
grep -q "^Version $version"$'\r$' "$readme" && grep -q 'vigilon_config\.exe' "$readme" ||
    fail "README.txt of the zip is not the Windows one"

# The Linux archive, unpacked straight into a client folder.
fah="$work/FAH"
mkdir -p "$fah"
cp "$source/tests/data/unitinfo/Standard_5-unitinfo.txt" "$fah/unitinfo.txt"
printf '%s\n' "[settings]" "username=TomJ" "team=33" "machineid=3" >"$fah/client.cfg"
unpack "$tgz" "$fah" "./client.cfg ./unitinfo.txt ./vigilon ./vigilon/README.txt ./vigilon/database.txt ./vigilon/vigilon ./vigilon/vigilon_config"
for program in vigilon vigilon_config; do
    elf="$fah/vigilon/$program"
    [ -x "$elf" ] || fail "$program is not executable"
    file -b "$elf" | grep -q '^ELF 64-bit LSB .*x86-64.*, stripped$' || fail "$program: $(file -b "$elf")"
done
! grep -q $'\r' "$fah/vigilon/README.txt" || fail "README.txt of the tar.gz has CR line ends"

# --help and --version print to stdout and end with 0 at once, display or not.
for program in vigilon vigilon_config; do
    text=$(cd "$fah/vigilon" && unset DISPLAY && timeout 10 "./$program" --version) ||
        fail "$program --version ended with $?"
    [ "$text" = "$program $version" ] || fail "$program --version printed: $text"
    text=$(cd "$fah/vigilon" && unset DISPLAY && timeout 10 "./$program" --help) ||
        fail "$program --help ended with $?"
    grep -q "^usage: $program \[--help | --version\]$" <<<"$text" || fail "$program --help printed: $text"
done

# The monitor in silent mode, without a display, as from a service.
printf 'cpunum 1\nfhlog 1\nnowin 1\n' >"$fah/vigilon/vigilon.ini"
log="$fah/vigilon/vigilon_log.txt"
(cd "$fah/vigilon" && unset DISPLAY && exec timeout -k 5 30 ./vigilon 2>"$work/stderr.txt") &
monitor=$!
for _ in $(seq 100); do grep -q "^Continuing process at" "$log" 2>/dev/null && break; sleep 0.1; done
sleep 2
kill -0 "$monitor" 2>/dev/null || fail "the monitor ended by itself: $(cat "$work/stderr.txt")"
kill -TERM "$monitor"
status=0
wait "$monitor" || status=$?
monitor=""
[ "$status" -eq 0 ] || fail "the monitor's exit code was $status: $(cat "$work/stderr.txt")"
[ -f "$log" ] || fail "no event log: $(cat "$work/stderr.txt")"
head -n 1 "$log" | grep -q "^Vigilon v$version " || fail "no banner of v$version: $(cat "$log")"
grep -q "^Continuing process at 11% for ProtoMol on " "$log" || fail "no start line: $(cat "$log")"
grep -q "^Vigilon stats after shutdown$" "$log" || fail "no shutdown statistics: $(cat "$log")"

# The server's Debian package: its fields and files.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package) $(field Version) $(field Architecture)" = "vigilon-server $version amd64" ] ||
    fail "$deb: $(dpkg-deb -f "$deb" Package Version Architecture | xargs)"
depends=$(field Depends)
for library in libc6 libstdc++6 libsqlite3-0 libcpp-httplib; do
    grep -q "\(^\|, \)$library" <<<"$depends" || fail "$deb does not depend on $library: $depends"
done
found=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort | xargs)
unit=/usr/lib/systemd/system/vigilon-server.service
[ "$found" = "./usr/bin/vigilon_server .$unit" ] || fail "$deb holds: $found"
scripts=$(dpkg-deb -I "$deb" | awk '$NF == "#!/bin/sh" { print $(NF - 1) }' | sort | xargs)
[ "$scripts" = "postinst postrm prerm" ] || fail "$deb has the scripts: $scripts"
dpkg-deb -x "$deb" "$work/deb"
file -b "$work/deb/usr/bin/vigilon_server" | grep -q '^ELF 64-bit LSB .*x86-64.*, stripped$' ||
    fail "vigilon_server: $(file -b "$work/deb/usr/bin/vigilon_server")"

# Installed, on a machine that does not have it yet.
user=vigilon-server
! dpkg-query -W vigilon-server >/dev/null 2>&1 || fail "vigilon-server is installed here already"
! getent passwd "$user" >/dev/null || fail "the user $user exists here already"
[ ! -e /etc/vigilon-server ] && [ ! -e /var/lib/vigilon-server ] ||
    fail "/etc/vigilon-server or /var/lib/vigilon-server exists here already"
installed=1
$sudo dpkg -i "$deb" >"$work/dpkg.txt" 2>&1 || fail "dpkg -i: $(cat "$work/dpkg.txt")"
IFS=: read -r _ _ uid _ _ home shell < <(getent passwd "$user") || fail "postinst made no user $user"
[ "$uid" -lt 1000 ] && [ "$home" = /var/lib/vigilon-server ] && [ "$shell" = /usr/sbin/nologin ] ||
    fail "the user: $(getent passwd "$user")"
[ "$(stat -c '%a %U:%G' /var/lib/vigilon-server)" = "750 $user:$user" ] ||
    fail "/var/lib/vigilon-server: $(stat -c '%a %U:%G' /var/lib/vigilon-server)"
token_file=/etc/vigilon-server/token
[ "$($sudo stat -c '%a %U:%G' "$token_file")" = "600 root:root" ] ||
    fail "$token_file: $($sudo stat -c '%a %U:%G' "$token_file")"
token=$($sudo sed -n 's/^VIGILON_SERVER_TOKEN=\([0-9a-f]\{32\}\)$/\1/p' "$token_file")
[ -n "$token" ] || fail "$token_file holds no token"
program=/usr/bin/vigilon_server
[ "$(timeout 10 "$program" --version)" = "vigilon_server $version" ] ||
    fail "$program --version: $(timeout 10 "$program" --version 2>&1)"
text=$(timeout 10 "$program" --help) || fail "$program --help ended with $?"
grep -q '^usage: vigilon_server ' <<<"$text" || fail "$program --help printed: $text"

# The unit's command line as systemd runs it: the token from the file in the
# environment, the options' variable unset, the unit's user, no capabilities, no new
# privileges, from /. Free loopback ports instead of its fixed ones, which a
# running server or test may hold.
setting() { sed -n "s/^$1=//p" "$unit"; }
[ "$(setting User) $(setting Group) $(setting EnvironmentFile)" = "$user $user $token_file" ] ||
    fail "$unit: User, Group or EnvironmentFile differ"
line=$(setting ExecStart)
line=${line//'$VIGILON_SERVER_OPTIONS'/}
[[ $line != *'$'* && $line != *--token* ]] || fail "ExecStart unexpanded, or the token in the process list: $line"
read -r -a command <<<"$line"
[ "${command[0]}" = "$program" ] || fail "ExecStart runs ${command[0]}"
(cd / && umask 027 && exec $sudo timeout -k 5 30 setpriv --reuid="$user" --regid="$user" \
    --init-groups --no-new-privs --bounding-set=-all --inh-caps=-all -- \
    env VIGILON_SERVER_TOKEN="$token" "${command[@]}" --listen 127.0.0.1:0 --web 127.0.0.1:0 >"$work/server.txt" 2>&1) &
server=$!
for _ in $(seq 100); do grep -q '^dashboard: ' "$work/server.txt" && break; sleep 0.1; done
kill -0 "$server" 2>/dev/null || fail "the server ended by itself: $(cat "$work/server.txt")"
companion=$(sed -n 's/^companion: listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/server.txt")
web=$(sed -n 's|^dashboard: \(http://127\.0\.0\.1:[0-9]*/\)$|\1|p' "$work/server.txt")
[ -n "$companion" ] && [ -n "$web" ] || fail "the server printed: $(cat "$work/server.txt")"
! grep -q '^token: ' "$work/server.txt" || fail "the server made its own token"
record="8 2 40 p18213_R0_C12_G34 0 2400.000000 GenuineIntel 0xa8 100 61000 PkgCheck 1234567 0"
reply=$(timeout 20 python3 "$source/server/tests/lib/raw_peer.py" "$companion" "$record")
[ "$reply" = 0 ] || fail "the companion port replied $reply"
curl -fsS --max-time 5 "$web" | grep -q '<title>Vigilon server</title>' || fail "no dashboard at $web"
curl -fsS --max-time 5 "${web}api/stats" | grep -q '"records":1[,}]' || fail "/api/stats: no record"
curl -fsS --max-time 5 "${web}api/machines" | grep -q '"user":"PkgCheck"' || fail "/api/machines: no machine"
post() {
    curl -sS --max-time 5 -o /dev/null -w '%{http_code}' -X POST -H "Authorization: Bearer $1" \
         -d '{"command": "stop"}' "${web}api/machines/127.0.0.1-8/command"
}
[ "$(post "$token")" = 202 ] || fail "a command with the file's token was not queued"
[ "$(post "x$token")" = 401 ] || fail "a command with a wrong token was not refused"
$sudo kill -TERM "$server"
status=0
wait "$server" || status=$?
server=""
[ "$status" -eq 0 ] || fail "the server's exit code was $status: $(cat "$work/server.txt")"
database=/var/lib/vigilon-server/vigilon_server.db
[ "$($sudo stat -c %U "$database")" = "$user" ] || fail "no database of $user in /var/lib/vigilon-server"

# Removed: the token and the history stay until purged; an enabled service is
# disabled, with or without a running systemd.
if command -v systemctl >/dev/null; then
    $sudo systemctl enable vigilon-server.service >/dev/null 2>&1 || fail "systemctl enable failed"
fi
$sudo dpkg -r vigilon-server >"$work/dpkg.txt" 2>&1 || fail "dpkg -r: $(cat "$work/dpkg.txt")"
[ ! -e "$program" ] && $sudo test -f "$token_file" -a -f "$database" || fail "dpkg -r: files left or lost"
[ ! -L /etc/systemd/system/multi-user.target.wants/vigilon-server.service ] ||
    fail "dpkg -r left the service enabled"
$sudo dpkg --purge vigilon-server >"$work/dpkg.txt" 2>&1 || fail "dpkg --purge: $(cat "$work/dpkg.txt")"
[ ! -e /etc/vigilon-server ] && [ ! -e /var/lib/vigilon-server ] || fail "dpkg --purge left files"
$sudo userdel "$user"
installed=0
echo "package check passed: $(basename "$zip"), $(basename "$tgz"), $(basename "$deb")"
