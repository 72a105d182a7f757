#!/bin/bash
# Uploads and downloads one file of SIZE_MB over loopback with the client's FTP component and
# with the curl command-line tool, against the same local pyftpdlib server, and prints wall
# time and MB/s of each (best of REPEAT runs; the component's own figure excludes the login).
#
#   bench/ftp_bench.sh                 build into build-bench, 200 MB, best of 3 runs
#   BUILD_DIR=... SIZE_MB=... REPEAT=... MODE=active bench/ftp_bench.sh
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build-bench}
SIZE_MB=${SIZE_MB:-200}
REPEAT=${REPEAT:-3}
MODE=${MODE:-passive}

command -v curl >/dev/null || {
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends curl
}

cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DSKYVANE_BUILD_BENCH=ON >/dev/null
cmake --build "$BUILD_DIR" -j2 --target ftpbench >/dev/null
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

/usr/bin/python3 "$ROOT/tests/support/ftpserver.py" \
    "{\"root\": \"$WORK/root\", \"users\": [{\"name\": \"bench\", \"password\": \"bench\"}]}" \
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

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
best() { sort -n | head -1; }
mbps() { awk -v s="$1" -v mb="$SIZE_MB" 'BEGIN { printf "%.0f", mb / s }'; }

declare -A times
for _ in $(seq "$REPEAT"); do
    t0=$(now)
    inner=$("$FTPBENCH" upload "$ADDR" bench bench "$WORK/local/data.bin" '\store\up.bin' "$MODE")
    t1=$(now)
    cmp -s "$WORK/local/data.bin" "$WORK/root/store/up.bin"
    times[comp_up]+="$(elapsed "$t0" "$t1") "
    times[comp_up_inner]+="${inner%% *} "

    t0=$(now)
    inner=$("$FTPBENCH" download "$ADDR" bench bench "$WORK/local/down.bin" '\store\up.bin' "$MODE")
    t1=$(now)
    cmp -s "$WORK/local/data.bin" "$WORK/local/down.bin"
    times[comp_down]+="$(elapsed "$t0" "$t1") "
    times[comp_down_inner]+="${inner%% *} "
    rm -f "$WORK/root/store/up.bin" "$WORK/local/down.bin"

    t0=$(now)
    curl -s "${CURL_MODE[@]}" -T "$WORK/local/data.bin" "ftp://bench:bench@$ADDR/store/up.bin"
    t1=$(now)
    cmp -s "$WORK/local/data.bin" "$WORK/root/store/up.bin"
    times[curl_up]+="$(elapsed "$t0" "$t1") "

    t0=$(now)
    curl -s "${CURL_MODE[@]}" -o "$WORK/local/down.bin" "ftp://bench:bench@$ADDR/store/up.bin"
    t1=$(now)
    cmp -s "$WORK/local/data.bin" "$WORK/local/down.bin"
    times[curl_down]+="$(elapsed "$t0" "$t1") "
    rm -f "$WORK/root/store/up.bin" "$WORK/local/down.bin"
done

echo "$SIZE_MB MB over loopback, $MODE mode, best of $REPEAT (pyftpdlib server, curl $(curl --version | head -1 | cut -d' ' -f2))"
printf "%-36s %8s %8s\n" "" seconds "MB/s"
for key in comp_up comp_up_inner curl_up comp_down comp_down_inner curl_down; do
    case $key in
    comp_up) label="upload, FtpClient (process)" ;;
    comp_up_inner) label="upload, FtpClient (transfer only)" ;;
    curl_up) label="upload, curl tool (process)" ;;
    comp_down) label="download, FtpClient (process)" ;;
    comp_down_inner) label="download, FtpClient (transfer only)" ;;
    curl_down) label="download, curl tool (process)" ;;
    esac
    s=$(tr ' ' '\n' <<<"${times[$key]}" | grep . | best)
    printf "%-36s %8.3f %8s\n" "$label" "$s" "$(mbps "$s")"
done
