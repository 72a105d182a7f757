#!/usr/bin/env bash
# The demonstration: one polling night for one store, on this machine.
#
# Installs what is missing, builds, then starts a session server (tools/sessionserver) and a real
# FTP server on 127.0.0.1, lays out a store (program folder, point-of-sale database, reports),
# puts a Mission Pack in the store folder on the FTP server, and runs the windowless client
# vanelet and then the windowed client skyvane (offscreen when there is no display) against
# them. It ends with a summary of what the central office received. Exit status 0 only when
# both sessions delivered everything.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
source scripts/night_script.sh

bash scripts/build.sh >/dev/null
bin=$top/build/bin
run=$top/demo-run
rm -rf "$run"
mkdir -p "$run"

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# --- the FTP server of the central office ------------------------------------------------------
ftproot=$run/ftp-root
mkdir -p "$ftproot/store12"
config=$(printf '{"port":0,"root":"%s","users":[{"name":"store12","password":"ftp-secret"}]}' "$ftproot")
/usr/bin/python3 tests/support/ftpserver.py "$config" >"$run/ftpserver.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
    grep -q '^PORT ' "$run/ftpserver.out" 2>/dev/null && break
    sleep 0.1
done
ftpport=$(sed -n 's/^PORT //p' "$run/ftpserver.out")
[ -n "$ftpport" ] || { echo "The FTP server did not start:"; cat "$run/ftpserver.out"; exit 1; }

# --- the store ---------------------------------------------------------------------------------
store=$run/store
mkdir -p "$store" "$run/pos" "$run/reports"
for program in skyvane vanelet svSetup svLaunch update svGetData; do
    cp "$bin/$program" "$store/"
done
cp tests/data/nwind.mdb "$run/pos/nwind.mdb"

write_reports() { # night number
    for name in sales registers voids; do
        printf '%s report of night %s\r\nline 2\r\n' "$name" "$1" >"$run/reports/$name-$1.txt"
    done
}

write_ini() { # session port
    printf '[system]\r\nID=STORE12\r\nPass=store-secret\r\nConnection=LAN\r\nServer=127.0.0.1\r\nPort=%s\r\nPassiveMode=True\r\nTimeToSend=10:15 PM\r\nRetry=15\r\n' "$1" >"$store/skyvane.ini"
}

# --- the Mission Pack --------------------------------------------------------------------------
/usr/bin/python3 scripts/demo_pack.py "$ftproot/store12/night.zip" "$run/pos/nwind.mdb" \
    "$run/reports" "$run/reports-archive" "$run/prices"

# --- one session -------------------------------------------------------------------------------

run_session() { # client name, script, client command...
    local client=$1 script=$2
    shift 2
    rm -f "$run/session.port"
    "$bin/sessionserver" --port-file "$run/session.port" "$script" >"$run/$client-server.log" 2>&1 &
    local server=$!
    pids+=($server)
    for _ in $(seq 1 100); do [ -s "$run/session.port" ] && break; sleep 0.1; done
    write_ini "$(cat "$run/session.port")"
    echo "Running $client ..."
    (cd "$store" && exec "$@") >"$run/$client.out" 2>&1 &
    local client_pid=$!
    pids+=($client_pid)
    local status=0
    wait "$server" || status=$?
    # The session is over for the server; the client must end on its own shortly after.
    for _ in $(seq 1 300); do kill -0 "$client_pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$client_pid" 2>/dev/null; then
        kill "$client_pid" 2>/dev/null || true
        echo "$client did not end after its session."
        status=1
    fi
    if [ "$status" -ne 0 ]; then
        echo "The $client session did not go as the server expected:"
        tail -n 20 "$run/$client-server.log"
        return 1
    fi
    mkdir -p "$run/received/$client"
    cp "$ftproot/store12/MissionPackIn.zip" "$run/received/$client/"
    [ -f "$ftproot/store12/transact.log" ] && cp "$ftproot/store12/transact.log" "$run/received/$client/"
    rm -f "$ftproot/store12/MissionPackIn.zip" "$ftproot/store12/transact.log"
    return 0
}

write_reports 1
{ night_script 2.3.9015 "$ftpport"; echo "closed"; } >"$run/vanelet.script"
run_session vanelet "$run/vanelet.script" ./vanelet -log

write_reports 2
{ night_script 2.3.9018 "$ftpport"; printf 'expect STORE12E08\nsend E09\nclosed\n'; } >"$run/skyvane.script"
if [ -z "${DISPLAY:-}" ]; then export QT_QPA_PLATFORM=offscreen; fi
run_session skyvane "$run/skyvane.script" ./skyvane

/usr/bin/python3 scripts/demo_summary.py "$run"
