#!/usr/bin/env bash
# Checks the release archives. Each unpacks to one folder vigilon/ holding
# exactly the two programs, database.txt and README.txt. The zip's programs
# are stripped 32-bit Windows GUI programs that need no MinGW DLL, and its
# README has CR LF line ends. The tar.gz's programs are stripped x86-64 ELF
# files that answer --help and --version, and its monitor, unpacked into a
# client folder, starts in silent mode without a display, logs its start
# entry and ends with code 0 on SIGTERM.
# Usage: package_check.sh <folder holding both archives> | <zip> <tar.gz>
set -euo pipefail
export LC_ALL=C
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
monitor=""
cleanup() {
    [ -n "$monitor" ] && kill -KILL "$monitor" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

zip="" tgz=""
if [ $# -eq 1 ] && [ -d "$1" ]; then
    shopt -s nullglob
    zips=("$1"/vigilon-*-windows.zip) tgzs=("$1"/vigilon-*-linux-x86_64.tar.gz)
    shopt -u nullglob
    [ ${#zips[@]} -eq 1 ] && zip=${zips[0]}
    [ ${#tgzs[@]} -eq 1 ] && tgz=${tgzs[0]}
elif [ $# -eq 2 ]; then
    for archive in "$@"; do
        case $archive in *.zip) zip=$archive ;; *.tar.gz) tgz=$archive ;; esac
    done
fi
[ -f "$zip" ] && [ -f "$tgz" ] || fail "usage: $0 <folder> | <windows.zip> <linux.tar.gz>"
zip=$(realpath "$zip") tgz=$(realpath "$tgz")
version=$(basename "$tgz" | sed -n 's/^vigilon-\(.*\)-linux-x86_64\.tar\.gz$/\1/p')
[ "$(basename "$zip")" = "vigilon-$version-windows.zip" ] || fail "versions differ: $zip $tgz"

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
echo "package check passed: $(basename "$zip"), $(basename "$tgz")"
