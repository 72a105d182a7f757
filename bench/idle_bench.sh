#!/usr/bin/env bash
# What a connected skyvane costs while it waits for the server: the client registers with a
# session server on 127.0.0.1 that then says nothing, and the CPU time the client uses over
# WAIT_S seconds (from /proc, all threads) is printed as a share of one core, with the number
# of times its threads woke up.
# Target: under 0.2 % of a core.
#
#   bench/idle_bench.sh                 build into build-bench, 60 s
#   BUILD_DIR=... WAIT_S=... bench/idle_bench.sh   (see bench/common.sh)
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
WAIT_S=${WAIT_S:-60}

bench_install time
bench_build skyvane sessionserver
BIN=$BUILD_DIR/bin

WORK=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

# Registers, reports its version, and then hears nothing until the measurement is over.
cat >"$WORK/idle.script" <<SCRIPT
ignore IDLE1E00
expect IDLE1E01secret
send E011
expect IDLE1E02*
pause $(((WAIT_S + 30) * 1000))
SCRIPT
"$BIN/sessionserver" --port-file "$WORK/port" "$WORK/idle.script" >"$WORK/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$WORK/port" ] && break; sleep 0.1; done
[ -s "$WORK/port" ] || { cat "$WORK/server.log"; exit 1; }

mkdir -p "$WORK/store"
cp "$BIN/skyvane" "$WORK/store/"
printf '[system]\r\nID=IDLE1\r\nPass=secret\r\nConnection=LAN\r\nServer=127.0.0.1\r\nPort=%s\r\nPassiveMode=True\r\nRetry=15\r\n' \
    "$(cat "$WORK/port")" >"$WORK/store/skyvane.ini"
(cd "$WORK/store" && QT_QPA_PLATFORM=offscreen exec ./skyvane) >"$WORK/skyvane.out" 2>&1 &
client=$!
pids+=($client)

# Measured once the version has gone out: from then on the client only waits.
for _ in $(seq 300); do grep -q 'IDLE1E02' "$WORK/server.log" 2>/dev/null && break; sleep 0.1; done
grep -q 'IDLE1E02' "$WORK/server.log" || { echo "skyvane did not register"; cat "$WORK/server.log"; exit 1; }
sleep 2
# CPU time in nanoseconds and wake-ups (voluntary context switches) of all the client's threads:
# the clock ticks of /proc/PID/stat count in steps of 10 ms, too coarse for a client that does
# next to nothing.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { printf "%d", s }'; }
wakeups() { cat /proc/"$1"/task/*/status | awk '/^voluntary_ctxt_switches/ { s += $2 } END { print s }'; }
before=$(cpu_ns "$client")
woke=$(wakeups "$client")
t0=$(date +%s.%N)
sleep "$WAIT_S"
after=$(cpu_ns "$client")
woke=$(($(wakeups "$client") - woke))
t1=$(date +%s.%N)
kb=$(awk '/VmHWM/ {print $2}' "/proc/$client/status")

share=$(awk -v a="$before" -v b="$after" -v t0="$t0" -v t1="$t1" \
    'BEGIN { printf "%.3f", 100 * (b - a) / 1e9 / (t1 - t0) }')
cpu_ms=$(awk -v a="$before" -v b="$after" 'BEGIN { printf "%.1f", (b - a) / 1e6 }')
verdict=ok
awk -v s="$share" 'BEGIN { exit !(s < 0.2) }' || verdict=MISSED
echo "connected skyvane, idle for $WAIT_S s: $cpu_ms ms of CPU, ${share} % of a core," \
    "$woke wake-ups, peak $((kb / 1024)) MB: $verdict (target under 0.2 %)"
bench_record_value "idle skyvane, $WAIT_S s" "$share" "% of a core" 0.2 "$kb" 100
[ "$verdict" = ok ]
