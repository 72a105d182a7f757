#!/usr/bin/env bash
# A whole night at a big store: a real client runs one session against the session server and
# the FTP server on 127.0.0.1 with a Mission Pack that holds a getdata of the ~1,000,000-row
# Orders table (all 14 columns, a date range that takes in every row) and a getfile of a folder
# of SIZE_MB MB of mixed files. Prints the time from the client's Mission Pack request to the
# return pack's arrival, split into its parts (from the client's log lines, taken as they are
# written, and the server's messages): fetching the pack, extraction, zipping, sending the
# return pack, and the rest (the fixed pauses and message steps of the protocol).
# CLIENT=vanelet (the default) passes getdata missions over, as it always does: its night has
# no extraction. CLIENT=skyvane runs the windowed client (offscreen), which extracts too.
#
#   bench/night_bench.sh               build into build-bench, vanelet, 300 MB folder
#   BUILD_DIR=... SIZE_MB=... CLIENT=... bench/night_bench.sh   (see bench/common.sh)
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
SIZE_MB=${SIZE_MB:-300}
CLIENT=${CLIENT:-vanelet}
case $CLIENT in
vanelet) log=vanelet.log ;;
skyvane) log=transact.log ;;
*) echo "CLIENT is vanelet or skyvane" >&2; exit 2 ;;
esac

bench_install python3-pyftpdlib mdbtools-dev libglib2.0-dev pkg-config build-essential
bench_build vanelet skyvane svGetData sessionserver
BIN=$BUILD_DIR/bin

WORK=$(mktemp -d)
BENCH_WORK=$WORK
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

echo "== preparing the store: the grown Orders table and $SIZE_MB MB of files"
mkdir -p "$WORK/pos" "$WORK/files" "$WORK/ftp/store12" "$WORK/store"
bench_grow_orders "$WORK/pos/big.mdb" 1204 >/dev/null
/usr/bin/python3 "$BENCH_ROOT/bench/mixedfolder.py" "$WORK/files" "$SIZE_MB"
cp "$BIN/$CLIENT" "$WORK/store/"
[ "$CLIENT" = vanelet ] || cp "$BIN/svGetData" "$WORK/store/"

/usr/bin/python3 - "$WORK/ftp/store12/night.zip" "$WORK/pos/big.mdb" "$WORK/files" <<'EOF'
import sys, zipfile
pack, database, files = sys.argv[1:4]
def ini(section, keys):
    return ("\r\n".join(["[%s]" % section] + ["%s=%s" % kv for kv in keys]) + "\r\n").encode()
fields = ("OrderID,CustomerID,EmployeeID,OrderDate,RequiredDate,ShippedDate,ShipVia,Freight,"
          "ShipName,ShipAddress,ShipCity,ShipRegion,ShipPostalCode,ShipCountry")
with zipfile.ZipFile(pack, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("orders.ini", ini("Mission", [
        ("Type", "getdata"), ("MDBName", database), ("TableName", "Orders"),
        ("UseTargetStartDate", "True"), ("StartDateFieldName", "OrderDate"),
        ("StartDate", "1/1/1990"), ("UseTargetEndDate", "True"),
        ("EndDateFieldName", "OrderDate"), ("EndDate", "12/31/2099"), ("DataFields", fields)]))
    z.writestr("orders.tsd", ini("TSD", [("DataTypes", "n,s,n,s,s,s,n,n,s,s,s,s,s,s")]))
    z.writestr("files.ini", ini("Mission", [("Type", "getfile"), ("TargetFiles", files + "/*.*")]))
EOF

config=$(printf '{"port":0,"root":"%s","users":[{"name":"store12","password":"ftp-secret"}]}' "$WORK/ftp")
/usr/bin/python3 "$BENCH_ROOT/tests/support/ftpserver.py" "$config" >"$WORK/ftpserver.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q '^PORT ' "$WORK/ftpserver.out" 2>/dev/null && break; sleep 0.1; done
ftpport=$(sed -n 's/^PORT //p' "$WORK/ftpserver.out")
[ -n "$ftpport" ] || { cat "$WORK/ftpserver.out"; exit 1; }

cat >"$WORK/night.script" <<SCRIPT
ignore STORE12E00
timeout 60
expect STORE12E01store-secret
send E011
expect STORE12E02*
send E02
expect STORE12E20
send E20store12
expect STORE12E21
send E21ftp-secret
expect STORE12E22
send E22127.0.0.1:$ftpport
expect STORE12E23
send E23store12
expect STORE12E10
send E13
expect STORE12E30*
send E30night.zip
timeout 1200
expect STORE12E31
send $([ "$CLIENT" = vanelet ] && echo E08 || echo E09)
closed
SCRIPT

# Every line of the server and of the client's log with the time it appeared.
stamp='import sys, time
for line in sys.stdin:
    print("%.3f %s" % (time.time(), line), end="", flush=True)'
follow='import os, sys, time
path, out = sys.argv[1], open(sys.argv[2], "w")
seen = 0
while True:
    if os.path.exists(path) and os.path.getsize(path) > seen:
        with open(path, "rb") as f:
            f.seek(seen)
            chunk = f.read()
        now = time.time()
        cut = chunk.rfind(b"\n") + 1
        seen += cut
        for line in chunk[:cut].decode("latin-1").splitlines():
            out.write("%.3f %s\n" % (now, line))
        out.flush()
    time.sleep(0.01)'
"$BIN/sessionserver" --port-file "$WORK/session.port" "$WORK/night.script" 2>&1 |
    /usr/bin/python3 -u -c "$stamp" >"$WORK/server.log" &
server=$!
pids+=($server)
/usr/bin/python3 -u -c "$follow" "$WORK/store/$log" "$WORK/client.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$WORK/session.port" ] && break; sleep 0.1; done
printf '[system]\r\nID=STORE12\r\nPass=store-secret\r\nConnection=LAN\r\nServer=127.0.0.1\r\nPort=%s\r\nPassiveMode=True\r\nRetry=15\r\n' \
    "$(cat "$WORK/session.port")" >"$WORK/store/skyvane.ini"

echo "== the night"
sync
started=$(date +%s.%N)
(cd "$WORK/store" && QT_QPA_PLATFORM=offscreen exec /usr/bin/time -v -o "$WORK/client.time" \
    "./$CLIENT" -log) >"$WORK/client.out" 2>&1 &
client=$!
pids+=($client)
wait "$server" || { echo "the session did not go as the server expected:"; tail -20 "$WORK/server.log"; exit 1; }
wait "$client" || true
sleep 0.2
ended=$(date +%s.%N)
[ -f "$WORK/ftp/store12/MissionPackIn.zip" ] || { echo "no return pack arrived"; exit 1; }
unzip -tq "$WORK/ftp/store12/MissionPackIn.zip" >/dev/null

# The time of the first line holding TEXT in any case (server or client log).
at() { awk -v t="$2" 'index(tolower($0), tolower(t)) { print $1; exit }' "$1"; }
request=$(at "$WORK/server.log" "STORE12E30")
arrived=$(at "$WORK/server.log" "STORE12E31")
packing=$(at "$WORK/client.log" "Creating MissionPackIn.Zip")
sending=$(at "$WORK/client.log" "Sending MissionPackIn.Zip")
sent=$(at "$WORK/client.log" "Sent Successfully")
for v in request arrived packing sending sent; do
    [ -n "${!v}" ] || { echo "no time for $v"; cat "$WORK/client.log"; exit 1; }
done
# Each mission runs from its "Working On" line to the next mission's, or to the return pack.
span() { # TEXT: seconds from the mission's line to the line after it that starts the next step
    awk -v t="$1" -v end="$packing" '
        index(tolower($0), "working on") && found { print $1 - start; done = 1; exit }
        index(tolower($0), tolower(t)) && !found { found = 1; start = $1 }
        END { if (found && !done) print end - start; else if (!found) print "" }' "$WORK/client.log"
}
extract=$(span "orders.ini, GetData")
zipfolder=$(span "files.ini, GetFile")
first=$(at "$WORK/client.log" "Working On")
[ -n "$zipfolder" ] || { echo "the getfile mission did not run"; cat "$WORK/client.log"; exit 1; }
if [ -z "$extract" ]; then
    [ "$CLIENT" = vanelet ] || { echo "the getdata mission did not run"; cat "$WORK/client.log"; exit 1; }
    extract=0 # vanelet passes the getdata mission over
fi
kb=$(bench_peak_kb "$WORK/client.time")
pack_mb=$(( $(stat -c %s "$WORK/ftp/store12/MissionPackIn.zip") / 1048576 ))

echo "$CLIENT, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v req="$request" -v arr="$arrived" -v first="$first" -v extract="$extract" \
    -v zipfolder="$zipfolder" -v pk="$packing" -v snd="$sending" -v snt="$sent" -v mb="$pack_mb" \
    -v whole="$started" -v end="$ended" -v client="$CLIENT" '
BEGIN {
    total = arr - req
    fetch = first - req; zip = zipfolder + (snd - pk); send = snt - snd
    rest = total - fetch - extract - zip - send
    printf "Mission Pack request to the return pack'"'"'s arrival: %.1f s (whole session %.1f s)\n", total, end - whole
    printf "  fetching and unpacking the pack  %6.1f s\n", fetch
    if (client == "vanelet")
        printf "  extraction (getdata)             %6.1f s (vanelet passes getdata missions over)\n", extract
    else
        printf "  extraction (getdata)             %6.1f s\n", extract
    printf "  zipping (getfile, return pack)   %6.1f s (%.1f s + %.1f s)\n", zip, zipfolder, snd - pk
    printf "  sending the return pack (%d MB) %6.1f s\n", mb, send
    printf "  fixed pauses and message steps   %6.1f s\n", rest
}' | tee "$WORK/summary.txt"
echo "$CLIENT peak memory $((kb / 1024)) MB; in the return pack:"
unzip -l "$WORK/ftp/store12/MissionPackIn.zip" | awk '$4 ~ /^orders|^files/ { print "  " $4, $1, "bytes" }' 
total=$(awk -v a="$request" -v b="$arrived" 'BEGIN { printf "%.1f", b - a }')
bench_record_value "night at a big store, $CLIENT" "$total" "s" "" "$kb" ""
for part in "extraction (getdata)" "zipping" "sending the return pack" "fixed pauses"; do
    value=$(awk -v p="$part" 'index($0, p) && match($0, /[0-9.]+ s/) {
        print substr($0, RSTART, RLENGTH - 2) }' "$WORK/summary.txt")
    bench_record_value "  night: ${part%% (*}" "$value" "s" "" "" ""
done
