#!/usr/bin/env bash
# Builds the libFuzzer targets, one per reader of outside input, and runs each
# for FUZZ_SECONDS (default 20), two at a time, from seeds made of the
# repository's own fixtures. A crash, failed property, sanitizer report or
# hang fails the run (the input is kept in build/linux-fuzz/artifacts/); each
# target ends with one line of totals.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${FUZZ_SECONDS:-20}
targets=(settings client_config unit_file protein_database companion_link stats_site client_api
         server_record)
cmake --preset linux-fuzz >/dev/null
cmake --build --preset linux-fuzz --target "${targets[@]/#/fuzz_}" >/dev/null
bin=$root/build/linux-fuzz/fuzz
artifacts=$root/build/linux-fuzz/artifacts
mkdir -p "$artifacts"
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
export TMPDIR=$work # the targets' client folders

# seed TARGET NAME: stdin becomes one seed; \036 separates an input's pieces.
seed() { mkdir -p "$work/$1" && cat >"$work/$1/$2"; }
S=$'\036'
db=$root/data/database.txt
database() { head -n 20 "$db"; grep '^4744 ' "$db"; }

lines() { printf '%s\n' "$@"; }
crlf() { printf '%s\r\n' "$@"; }

{ lines '[Vigilon setup]' '' 'delay 5' 'cpunum 2' 'ontop 1' 'fhlog 1' 'quiet 0' 'stats 1' \
      'ipadd 192.168.1.20' 'servc 1' 'spath FAH@C:+FAH+FAH502-Console.exe' 'vant! 1' 'nowin 0'
  printf '%sC:\\FAH\\vigilon' "$S"; } | seed settings written
{ crlf 'delay 0' 'usern Tom' 'team# 33' 'score 1' 'ipadd' 'spath fahclient  ' 'quiet -2147483649'
  printf '%s/home/tom/FAH/vigilon' "$S"; } | seed settings by-hand
lines '[settings]' 'username=Tom Smith' 'team=33' 'passkey=' 'asknet=no' 'machineid=2' \
    'local=12' '' '[http]' 'active=no' 'host=localhost' 'port=8080' | seed client_config v6
crlf '[settings]' 'username=' 'team=4294967296' 'machineid=1' | seed client_config v5
long=$(head -c 600 /dev/zero | tr '\0' x) # lines beyond every buffer of the readers
{ lines "spath $long" "ipadd $long" "$long" 'delay 99999999999'; printf '%sC:\\%s' "$S" "$long"; } |
    seed settings long
lines '[settings]' "username=$long" 'team=000000000000000000033' "machineid=1$long" |
    seed client_config long
units=("$root"/tests/data/unitinfo/*.txt)
for i in "${!units[@]}"; do
    next=${units[(i + 1) % ${#units[@]}]}
    { cat "${units[i]}"; printf %s "$S"; cat "$next"; printf %s "$S"; database; } |
        seed unit_file "$(basename "${units[i]}")"
done
{ head -n 40 "$db"; printf '%sp781_Minichap_1kT' "$S"; } | seed protein_database head
{ database; printf '%sp4744_lam5w_300K' "$S"; } | seed protein_database match
greeting='Dornhelm companion server ready'
for reply in 000 001 002 '002\001' 003 201; do # nothing, stop, tray (twice), restart, -127
    printf "%s%s\\$reply%sFAH@C:+FAH+FAH502-Console.exe" "$greeting" "$S" "$S" |
        seed companion_link "reply-${reply:0:3}${reply:5:3}"
done
head -c 2048 /dev/zero | tr '\0' G | seed companion_link long-greeting
{ crlf 'HTTP/1.1 200 OK' 'Content-Type: text/html' 'Content-Length: 15' ''
  printf '%s Intel(R) Pentium(R) 4 CPU 2.40GHz%s<html>ok</html>' "$S" "$S"; } | seed stats_site ok
{ crlf 'HTTP/1.0 404 Not Found' ''
  printf '%sAMD Athlon(tm) 64 X2 Dual Core Processor 4200+%snot here' "$S" "$S"; } |
    seed stats_site not-found

unit='{"id":"a1","number":7,"group":"","state":"RUN","paused":false,"assignment":{"project":18213,"core":{"type":"0xa8"},"credit":12345.6},"wu":{"run":0,"clone":12,"gen":34},"wu_progress":0.437}'
next='{"id":"b2","number":8,"group":"gpu","state":"DOWNLOAD","assignment":{"project":4744},"wu":{"run":1,"clone":2,"gen":3},"progress":0.1}'
{ printf '{"config":{"user":"Tom","team":33},"groups":{"":{}},"units":[%s]}' "$unit"
  printf '%s["units",0,"wu_progress",0.5]%s"ping"%s["units",-1,%s]' "$S" "$S" "$S" "$next"
  printf '%s["units",0,"state","UPLOAD"]%s["units",1,"state","RUN"]%s["units",0,null]%s' \
      "$S" "$S" "$S" "$S"
  database; } | seed client_api unit-change
{ printf '{"units":[]}%s["units",-2,[%s,%s]]%s["a","b",0,"c",null]%s' "$S" "$unit" "$next" "$S" "$S"
  database; } | seed client_api created-paths

record='8 2 40 p18213_R0_C12_G34 0 2400.000000 GenuineIntel 0xa8 100 61000 Tom 33 0'
printf '%s\0' "$record" | seed server_record file
printf '%s\0VGX1 source=api ctl=1 state=RUN paused=1 eta=3600 ppd=123456 prcg=18213/0/12/34\0' \
    "$record" | seed server_record api
printf '3 1 99 p2665 IBX in water 1 1.0 VIA VIA VIA  GRO-SMP 100 1920 Ann 0 1\0VGX1\0' |
    seed server_record blanks

# totals LOG: the runs, coverage, features and corpus of libFuzzer's last line.
totals() {
    grep -a 'DONE  *cov:' "$1" | tail -n 1 | awk '{ for (i = 1; i < NF; i++) v[$i] = $(i + 1)
        printf "runs %s  cov %s  ft %s  corpus %s  exec/s %s\n",
               substr($1, 2), v["cov:"], v["ft:"], v["corp:"], v["exec/s:"] }'
}

status=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    pids=()
    for name in "${targets[@]:i:2}"; do
        timeout -k 5 $((seconds + 60)) "$bin/fuzz_$name" -max_total_time="$seconds" \
            -max_len=4096 -timeout=10 -artifact_prefix="$artifacts/$name-" "$work/$name" \
            >"$work/$name.log" 2>&1 &
        pids+=($!)
    done
    for j in "${!pids[@]}"; do
        name=${targets[i + j]}
        result=0
        wait "${pids[j]}" || result=$?
        if [[ $result -ne 0 ]] || ! grep -aq 'DONE  *cov:' "$work/$name.log" ||
            grep -aEq 'Sanitizer|runtime error|property failed' "$work/$name.log"; then
            echo "fuzz_$name FAILED (exit $result):"
            tail -n 40 "$work/$name.log"
            status=1
        else
            printf 'fuzz_%-17s %s  (%s s)\n' "$name" "$(totals "$work/$name.log")" "$seconds"
        fi
    done
done
pids=()
exit $status
