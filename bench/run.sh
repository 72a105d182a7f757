#!/usr/bin/env bash
# Every benchmark in one command: installs what is missing, builds the bench drivers into
# build-bench (Release, SKYVANE_BUILD_BENCH=ON), runs each bench against the tool people use
# today on the same input in this same run, and ends with one table of ratios beside their
# targets. Takes a few minutes. Exit status 1 when a bench failed or missed its target.
#
#   bash bench/run.sh                       (as root when packages are missing)
#   GETDATA_RUNS=3 ZIP_MB=300 ZIP_RUNS=2 FTP_MB=200 FTP_FILES=10 FTP_RUNS=3 IDLE_S=60 \
#       NIGHT_MB=300 bash bench/run.sh
#
# The benches, each usable on its own: bench/getdata_bench.sh (getdata of a ~1,000,000-row table
# against mdb-export), bench/zip_bench.sh (zip and unpack against Info-ZIP's zip -9 and unzip),
# bench/ftp_bench.sh (FTP upload and download over loopback against the curl tool: pyftpdlib
# passive and active, plain and over TLS; vsftpd plain and over TLS), bench/idle_bench.sh (a connected skyvane waiting: CPU over 60 s) and
# bench/night_bench.sh (vanelet, then skyvane, through a whole session with the big table and
# folder).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=$root/build-bench
# shellcheck source=bench/common.sh
source "$root/bench/common.sh"

started=$(date +%s)
load_start=$(cut -d' ' -f1-3 /proc/loadavg)
echo "== installing what is missing"
bash "$root/scripts/install-deps.sh"
bench_install time

echo "== building the bench drivers into $BUILD_DIR"
cmake -S "$root" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKYVANE_BUILD_BENCH=ON \
    -DSKYVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j2 --target getdata_bench svGetData zipbench ftpbench skyvane \
    vanelet sessionserver >/dev/null

results=$(mktemp)
trap 'rm -f "$results"' EXIT
export BENCH_BUILT=1 BENCH_RESULTS=$results

# Each bench judges its own figures too; its exit status is not used here, only whether it
# recorded its rows (a bench that breaks down records none).
failed=()
run_bench() { # NAME ROWS ENV=VALUE... SCRIPT
    local name=$1 rows=$2 before
    shift 2
    before=$(wc -l <"$results")
    echo
    echo "==== $name"
    env "$@" || true
    [ $(($(wc -l <"$results") - before)) -eq "$rows" ] || failed+=("$name")
}
run_bench getdata 8 RUNS="${GETDATA_RUNS:-3}" bash "$root/bench/getdata_bench.sh"
run_bench zip 2 SIZE_MB="${ZIP_MB:-300}" REPEAT="${ZIP_RUNS:-2}" bash "$root/bench/zip_bench.sh"
for setup in "pyftpdlib passive 0" "pyftpdlib active 0" "pyftpdlib passive 1" \
    "vsftpd passive 0" "vsftpd passive 1"; do
    read -r server mode tls <<<"$setup"
    run_bench "ftp $setup" 2 SIZE_MB="${FTP_MB:-200}" FILES="${FTP_FILES:-10}" \
        REPEAT="${FTP_RUNS:-3}" SERVER="$server" MODE="$mode" TLS="$tls" \
        bash "$root/bench/ftp_bench.sh"
done
run_bench idle 1 WAIT_S="${IDLE_S:-60}" bash "$root/bench/idle_bench.sh"
# vanelet passes getdata missions over: the windowed client's night has the extraction.
for client in vanelet skyvane; do
    run_bench "night $client" 5 SIZE_MB="${NIGHT_MB:-300}" CLIENT=$client \
        bash "$root/bench/night_bench.sh"
done

load_end=$(cut -d' ' -f1-3 /proc/loadavg)
echo
echo "==== Results: $(nproc) cores, load average $load_start at the start, $load_end at the end," \
    "$(($(date +%s) - started)) s in all"
echo "Time: best wall time of the runs, ratio ours / tool (below 1 is faster than the tool)."
echo "Memory: highest peak resident memory of the runs. Rows without a tool: our own figure."
echo
awk -F'\t' '
function mb(kb) { return kb == "-" || kb == "" ? "-" : sprintf("%.1f", kb / 1024) }
BEGIN {
    fmt = "| %-28s | %10s | %-10s | %7s | %6s | %9s | %7s | %7s | %8s | %-6s |\n"
    printf fmt, "bench", "ours", "tool", "tool s", "ratio", "target", "ours MB", "tool MB", "target", "result"
    printf "|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n", "------------------------------", "-----------:", \
        "------------", "--------:", "-------:", "----------:", "--------:", "--------:", \
        "---------:", "--------"
}
$3 == "-" {
    # A figure of ours against a fixed target.
    ok = ($7 == "" || $2 <= $7) && ($5 == "" || $8 == "" || $5 / 1024 < $8)
    printf fmt, $1, $2 " " $4, "-", "-", "-", $7 == "" ? "-" : "<= " $7, mb($5), "-", \
        $8 == "" ? "-" : "< " $8 " MB", $7 == "" && $8 == "" ? "-" : (ok ? "ok" : "MISSED")
    if (!ok) missed = 1
    next
}
{
    rt = $2 / $4
    ok = rt <= $7 && $5 / 1024 < $8
    printf fmt, $1, $2 " s", $3, $4, sprintf("%.2fx", rt), sprintf("<= %.2fx", $7), mb($5), \
        mb($6), sprintf("< %d MB", $8), ok ? "ok" : "MISSED"
    if (!ok) missed = 1
}
END { exit missed }' "$results" && missed=0 || missed=1

status=0
if [ ${#failed[@]} -gt 0 ]; then
    echo "Broke down before recording its figures: ${failed[*]}"
    status=1
fi
if [ "$missed" = 1 ]; then
    echo "Some figures missed their target (MISSED above)."
    status=1
fi
[ "$status" = 1 ] || echo "Every target met."
exit $status
