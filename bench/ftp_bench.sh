#!/bin/bash
# Uploads and downloads a file of SIZE_MB FILES times in one login over loopback with the
# client's FTP component and with the curl command-line tool (one process each way, curl with
# one URL per file), against the same local server, and prints wall time, MB/s and peak memory
# of each (best of REPEAT runs; the component's own figure excludes the login). The transfers
# are long enough (2 GB by default) that starting the process and logging in weigh nothing.
# The component is driven directly, so none of the fixed pauses of the transfer procedures are
# in its times. Targets: within 1.1x of curl's time both ways, peak memory under 100 MB.
#
#   bench/ftp_bench.sh                 build into build-bench, 10 x 200 MB, best of 3 runs
#   BUILD_DIR=... SIZE_MB=... FILES=... REPEAT=... MODE=active bench/ftp_bench.sh
#                                      (see bench/common.sh)
#   SERVER=vsftpd bench/ftp_bench.sh   against Debian's vsftpd (tests/support/vsftpdserver.py,
#                                      as root) instead of pyftpdlib
#   TLS=1 bench/ftp_bench.sh           explicit FTP over TLS on both sides (curl --ssl-reqd),
#                                      server certificate made at start and verified
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
ROOT=$BENCH_ROOT
SIZE_MB=${SIZE_MB:-200}
FILES=${FILES:-10}
REPEAT=${REPEAT:-3}
MODE=${MODE:-passive}
TLS=${TLS:-0}
SERVER=${SERVER:-pyftpdlib}
max_ratio=1.1
case $SERVER in
pyftpdlib) SERVER_SCRIPT=$ROOT/tests/support/ftpserver.py ;;
vsftpd) SERVER_SCRIPT=$ROOT/tests/support/vsftpdserver.py ;;
*) echo "SERVER is pyftpdlib or vsftpd" >&2; exit 2 ;;
esac

bench_install curl python3-pyftpdlib python3-openssl vsftpd libpam-pwdfile time
bench_build ftpbench
FTPBENCH=$BUILD_DIR/bin/ftpbench

WORK=$(mktemp -d -p "$BUILD_DIR" ftpbench.XXXXXX)
SERVER_PID=
cleanup() {
    [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
mkdir -p "$WORK/root/store" "$WORK/local"
head -c $((SIZE_MB * 1024 * 1024)) /dev/urandom >"$WORK/local/data.bin"

TLS_CONFIG=
COMP_TLS=()
if [ "$TLS" = 1 ]; then
    TLS_CONFIG=", \"tls\": {\"folder\": \"$WORK\"}"
    COMP_TLS=("tls:$WORK/ca.pem")
fi
/usr/bin/python3 "$SERVER_SCRIPT" \
    "{\"root\": \"$WORK/root\", \"users\": [{\"name\": \"bench\", \"password\": \"bench\"}]$TLS_CONFIG}" \
    >"$WORK/server.out" 2>"$WORK/server.err" &
SERVER_PID=$!
for _ in $(seq 100); do
    grep -q '^PORT ' "$WORK/server.out" 2>/dev/null && break
    sleep 0.1
done
PORT=$(awk '/^PORT /{print $2}' "$WORK/server.out")
[ -n "$PORT" ] || { cat "$WORK/server.err"; exit 1; }
ADDR=127.0.0.1:$PORT
CURL_MODE=()
[ "$MODE" = active ] && CURL_MODE=(--ftp-port -)
[ "$TLS" = 1 ] && CURL_MODE+=(--ssl-reqd --cacert "$WORK/ca.pem")
# curl moves each file in one login as well: one URL per file.
CURL_UP=() CURL_DOWN=()
for _ in $(seq "$FILES"); do
    CURL_UP+=(-T "$WORK/local/data.bin" "ftp://bench:bench@$ADDR/store/up.bin")
    CURL_DOWN+=(-o "$WORK/local/down.bin" "ftp://bench:bench@$ADDR/store/up.bin")
done

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
mbps() { awk -v s="$1" -v mb="$((SIZE_MB * FILES))" 'BEGIN { printf "%.0f", mb / s }'; }

# timed KEY COMMAND... : writes pending data to disk, runs COMMAND, adds its wall seconds to times[KEY] and keeps the highest
# peak memory in peak[KEY]; COMMAND's standard output goes to $WORK/out.txt.
declare -A times peak
same() { cmp -s "$1" "$2" || { echo "FAIL: $2 differs from $1" >&2; exit 1; }; }
timed() {
    local key=$1 t0 t1 kb
    shift
    sync
    t0=$(now)
    /usr/bin/time -v -o "$WORK/time.txt" "$@" >"$WORK/out.txt"
    t1=$(now)
    times[$key]+="$(elapsed "$t0" "$t1") "
    kb=$(bench_peak_kb "$WORK/time.txt")
    [ "$kb" -gt "${peak[$key]:-0}" ] && peak[$key]=$kb
    return 0
}

for _ in $(seq "$REPEAT"); do
    timed comp_up "$FTPBENCH" upload "$ADDR" bench bench "$WORK/local/data.bin" '\store\up.bin' "$MODE" "${COMP_TLS[@]}" "files:$FILES"
    same "$WORK/local/data.bin" "$WORK/root/store/up.bin"
    inner=$(cat "$WORK/out.txt")
    times[comp_up_inner]+="${inner%% *} "

    timed comp_down "$FTPBENCH" download "$ADDR" bench bench "$WORK/local/down.bin" '\store\up.bin' "$MODE" "${COMP_TLS[@]}" "files:$FILES"
    same "$WORK/local/data.bin" "$WORK/local/down.bin"
    inner=$(cat "$WORK/out.txt")
    times[comp_down_inner]+="${inner%% *} "
    rm -f "$WORK/root/store/up.bin" "$WORK/local/down.bin"

    timed curl_up curl -s "${CURL_MODE[@]}" "${CURL_UP[@]}"
    same "$WORK/local/data.bin" "$WORK/root/store/up.bin"

    timed curl_down curl -s "${CURL_MODE[@]}" "${CURL_DOWN[@]}"
    same "$WORK/local/data.bin" "$WORK/local/down.bin"
    rm -f "$WORK/root/store/up.bin" "$WORK/local/down.bin"
done

declare -A best
WIRE=plain
[ "$TLS" = 1 ] && WIRE="over TLS"
echo "$FILES x $SIZE_MB MB in one login over loopback, $MODE mode, $WIRE, best of $REPEAT ($SERVER server, curl $(curl --version | head -1 | cut -d' ' -f2))"
printf "%-36s %8s %8s %8s\n" "" seconds "MB/s" "peak MB"
for key in comp_up comp_up_inner curl_up comp_down comp_down_inner curl_down; do
    case $key in
    comp_up) label="upload, FtpClient (process)" ;;
    comp_up_inner) label="upload, FtpClient (transfer only)" ;;
    curl_up) label="upload, curl tool (process)" ;;
    comp_down) label="download, FtpClient (process)" ;;
    comp_down_inner) label="download, FtpClient (transfer only)" ;;
    curl_down) label="download, curl tool (process)" ;;
    esac
    s=$(tr ' ' '\n' <<<"${times[$key]}" | grep . | sort -n | head -1)
    best[$key]=$s
    mb=-
    [ -z "${peak[$key]:-}" ] || mb=$(awk -v k="${peak[$key]}" 'BEGIN { printf "%.1f", k / 1024 }')
    printf "%-36s %8.3f %8s %8s\n" "$label" "$s" "$(mbps "$s")" "$mb"
done

# Whole processes against whole processes: both sides start, log in, transfer and log out.
status=0
echo
for dir in up down; do
    ours=${best[comp_$dir]} theirs=${best[curl_$dir]} kb=${peak[comp_$dir]}
    ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
    verdict=ok
    if awk -v r="$ratio" -v m="$max_ratio" -v k="$kb" 'BEGIN { exit !(r > m || k >= 102400) }'; then
        verdict=MISSED
        status=1
    fi
    [ $dir = up ] && what=upload || what=download
    echo "$what: ${ratio}x curl's time, peak $((kb / 1024)) MB: $verdict"
    [ "$TLS" = 1 ] && what="$what over TLS"
    bench_record "FTP $what, $MODE, $SERVER, $FILES x $SIZE_MB MB" "$ours" curl "$theirs" "$kb" \
        "${peak[curl_$dir]}" "$max_ratio" 100
done
exit $status
