#!/usr/bin/env bash
# Runs the Windows test host under Wine against simulated controllers: makes a private Wine prefix,
# keeps one wineserver for the whole run, starts one simulator per controller the scenarios need on a
# pseudo-terminal of its own, maps each to its COM port, runs the host, and stops everything it started.
#
# Usage: run-wine-scenarios.sh --cross-build DIR --simulator PATH --work DIR [SCENARIO...]
#   DIR of the cross build holds DYXWNKV.dll, TARNEL.DLL and dyx_wine_host.exe; the work directory
#   is emptied and holds the prefix, the transcripts and the logs afterwards.
set -euo pipefail

usage() {
    sed -n '2,8p' "$0" >&2
    exit 64
}

cross_build=""
simulator=""
work=""
scenarios=()
while [ $# -gt 0 ]; do
    case "$1" in
        --cross-build) cross_build="$2"; shift 2 ;;
        --simulator) simulator="$2"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        --help | -h) usage ;;
        --*) echo "run-wine-scenarios: unknown option $1" >&2; usage ;;
        *) scenarios+=("$1"); shift ;;
    esac
done
[ -n "$cross_build" ] && [ -n "$simulator" ] && [ -n "$work" ] || usage
host_exe="$cross_build/dyx_wine_host.exe"
for needed in "$host_exe" "$cross_build/DYXWNKV.dll" "$cross_build/TARNEL.DLL" "$simulator"; do
    [ -e "$needed" ] || { echo "run-wine-scenarios: $needed is missing" >&2; exit 1; }
done
for tool in wine wineboot wineserver; do
    command -v "$tool" > /dev/null || { echo "run-wine-scenarios: $tool is not installed (see install-wine-tools.sh)" >&2; exit 1; }
done

readonly ready_timeout_s=10
started=$(date +%s.%N)
rm -rf "$work"
mkdir -p "$work/prefix" "$work/transcripts"
work=$(cd "$work" && pwd)

export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# No .NET or HTML engine: nothing here needs them, and their installers would slow the prefix down.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# A path of this machine as the test host sees it, through Wine's Z: drive.
windows_path() {
    printf 'Z:%s' "${1//\//\\}"
}

simulator_pids=()
server_pid=""
stop_all() {
    local pid
    for pid in "${simulator_pids[@]}"; do
        kill "$pid" 2> /dev/null || true
    done
    for pid in "${simulator_pids[@]}"; do
        wait "$pid" 2> /dev/null || true
    done
    if [ -n "$server_pid" ]; then
        # Ends the Windows processes of this prefix (the services Wine started for the run) through
        # the server that runs them, then the server itself; a plain signal to the server would leave
        # those processes behind.
        wineserver -k 2> /dev/null || kill "$server_pid" 2> /dev/null || true
        wait "$server_pid" 2> /dev/null || true
    fi
}
trap stop_all EXIT

# The prefix is made once; the server that made it is let go once it is idle, so the prefix is on disk
# before the server for the run takes over.
wineboot -i > "$work/wineboot.log" 2>&1
wineserver -w
prefix_ready=$(date +%s.%N)

# One server for the whole run. It is started in the foreground mode so that its id is the one this
# script stops; it also takes the hang-up a pseudo-terminal can send when its simulator exits.
wineserver -f -p > "$work/wineserver.log" 2>&1 &
server_pid=$!

plan=$(wine "$host_exe" --plan "${scenarios[@]}" | tr -d '\r')

# Only the ports of this run: Wine maps COM1 to the machine's first serial device by default.
rm -f "$WINEPREFIX"/dosdevices/com*
while read -r keyword number options; do
    [ "$keyword" = CONTROLLER ] || continue
    transcript="$work/transcripts/port-$number.log"
    # shellcheck disable=SC2086 # the options are separate words by design
    exec {ready_fd}< <(exec "$simulator" --log "$transcript" $options 2> "$work/simulator-COM$number.err")
    simulator_pids+=($!)
    ready_line=""
    if ! read -r -t "$ready_timeout_s" -u "$ready_fd" ready_line || [ "${ready_line%% *}" != READY ]; then
        echo "run-wine-scenarios: the simulator for COM$number did not get ready:" >&2
        cat "$work/simulator-COM$number.err" >&2
        exit 1
    fi
    ln -s "${ready_line#READY }" "$WINEPREFIX/dosdevices/com$number"
done <<< "$plan"

status=0
(cd "$cross_build" && TARNEL_LOG="$(windows_path "$work/tarnel.log")" \
    wine "$host_exe" --transcripts "$(windows_path "$work/transcripts")" "${scenarios[@]}") | tr -d '\r' ||
    status=$?

# The command-line host for Windows, run as a user runs it, against a simulator of its own on COM20
# (ports from 10 on are named \\.\COMn), and against a port with no device behind it.
cli="$cross_build/tools/dyx_host.exe"
cli_port='\\.\COM20'
exec {cli_ready_fd}< <(exec "$simulator" --set DM0100=1234 2> "$work/simulator-COM20.err")
simulator_pids+=($!)
read -r -t "$ready_timeout_s" -u "$cli_ready_fd" cli_ready || true
ln -s "${cli_ready#READY }" "$WINEPREFIX/dosdevices/com20"
cli_check() {
    local name=$1 expected_status=$2 expected_text=$3 output cli_status=0
    shift 3
    output=$(cd "$cross_build" && wine "$cli" --library "$(windows_path "$cross_build/DYXWNKV.dll")" "$@" 2>&1 |
        tr -d '\r') || cli_status=$?
    if [ "$cli_status" = "$expected_status" ] && grep -qF -- "$expected_text" <<< "$output"; then
        echo "PASS $name"
    else
        echo "FAIL $name: exit $cli_status (expected $expected_status), output: $output"
        status=1
    fi
}
cli_check cli-describe 0 'State size:  564 bytes' describe
cli_check cli-read 0 'DM$0100 = 1234' read 'DM$0100' --port "$cli_port" --parity none --timeout 200
cli_check cli-write 0 'DM$0100 <- 77: done' write 'DM$0100' 77 --port "$cli_port" --parity none --timeout 200
cli_check cli-read-back 0 'DM$0100 = 77' read 'DM$0100' --port "$cli_port" --parity none --timeout 200
cli_check cli-failed-open 2 'driver reported: DYXKEYENCE KV Series : Fail to open \\.\COM30' \
    read 'DM$0100' --port '\\.\COM30' --parity none

finished=$(date +%s.%N)
awk -v start="$started" -v prefix="$prefix_ready" -v end="$finished" \
    'BEGIN { printf "Wine part: %.1f s in all, of which making the prefix %.1f s\n", end - start, prefix - start }' 
exit "$status"
