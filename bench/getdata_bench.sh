#!/usr/bin/env bash
# getdata against mdb-export on a table of about one million rows.
#
# Builds mdb-grow into a temporary folder, grows nwind.mdb's Orders to ~1,000,000 rows, then
# exports all 14 columns three ways, each the best of RUNS runs:
#   mdb-export      mdb-export -H -d TAB -Q (no header, no quotes)
#   getdata         a mission without date limits (rows stream in stored order)
#   getdata ranged  a mission with OrderDate limits that take in every row (keys, sort, read again)
# and prints wall time, CPU time (user + system), peak memory and the ratios.
# Targets: getdata at least 4x as fast as mdb-export unordered and 3x with the date range, peak
# memory under 40 MB. Then a scaling table: the same two missions on 100,000 and 4,000,000 rows
# (one run each; SCALING=0 leaves it out), time per row and peak memory.
#
# Usage: bench/getdata_bench.sh [build-dir]     (RUNS=3 by default; see bench/common.sh)
# Without a build folder it uses BUILD_DIR or build-bench; a new one is configured as a Release
# build of the libraries and the benches only, a given one keeps its settings and gets
# SKYVANE_BUILD_BENCH=ON.
set -euo pipefail

[ -z "${1:-}" ] || BUILD_DIR="$1"
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
root="$BENCH_ROOT"
runs="${RUNS:-3}"

bench_install time mdbtools mdbtools-dev libglib2.0-dev pkg-config build-essential

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
BENCH_WORK="$work"

echo "== building getdata_bench"
bench_build getdata_bench svGetData
getdata="$BUILD_DIR/bin/getdata_bench"

echo "== growing Orders"
bench_grow_orders "$work/big.mdb" 1204

fields="OrderID,CustomerID,EmployeeID,OrderDate,RequiredDate,ShippedDate,ShipVia,Freight,ShipName,ShipAddress,ShipCity,ShipRegion,ShipPostalCode,ShipCountry"
types="n,s,n,s,s,s,n,n,s,s,s,s,s,s"
printf '[Mission]\r\nType=getdata\r\nMDBName=%s\r\nTableName=Orders\r\nDataFields=%s\r\n' \
    "$work/big.mdb" "$fields" >"$work/plain.ini"
printf '[Mission]\r\nType=getdata\r\nMDBName=%s\r\nTableName=Orders\r\nUseTargetStartDate=True\r\nStartDateFieldName=OrderDate\r\nStartDate=1/1/1990\r\nUseTargetEndDate=True\r\nEndDateFieldName=OrderDate\r\nEndDate=12/31/2099\r\nDataFields=%s\r\n' \
    "$work/big.mdb" "$fields" >"$work/ranged.ini"
for m in plain ranged; do
    printf '[TSD]\r\nDataTypes=%s\r\n' "$types" >"$work/$m.tsd"
done

# measure NAME OUTPUT COMMAND...: one run; getdata's status lines must hold no error.
measure() {
    local name="$1"
    bench_run "$@"
    if [ "$name" != export ] && grep -q '^Error' "$work/stderr.txt"; then
        echo "getdata reported errors:" >&2
        cat "$work/stderr.txt" >&2
        exit 1
    fi
}

echo "== running (best of $runs)"
for ((run = 1; run <= runs; run++)); do
    measure export "$work/export.txt" mdb-export -H -d "$(printf '\t')" -Q "$work/big.mdb" Orders
    measure getdata /dev/null "$getdata" "$work/plain.ini"
    measure ranged /dev/null "$getdata" "$work/ranged.ini"
done
declare -n wall=B_WALL cpu=B_CPU rss=B_KB

rows_plain=$(grep -c $'\r$' "$work/plain.tsv" || true)
rows_ranged=$(grep -c $'\r$' "$work/ranged.tsv" || true)
echo "rows written: getdata $rows_plain, getdata ranged $rows_ranged"

printf '\n%-16s %9s %9s %10s\n' "" "wall s" "cpu s" "peak MB"
for n in export getdata ranged; do
    printf '%-16s %9s %9s %10.1f\n' "$n" "${wall[$n]}" "${cpu[$n]}" "$(awk -v k="${rss[$n]}" 'BEGIN {print k / 1024}')"
done

bench_record "getdata, unordered" "${wall[getdata]}" mdb-export "${wall[export]}" \
    "${rss[getdata]}" "${rss[export]}" 0.25 40
bench_record "getdata, date range" "${wall[ranged]}" mdb-export "${wall[export]}" \
    "${rss[ranged]}" "${rss[export]}" 0.33 40

status=0
echo
for n in getdata ranged; do
    rw=$(awk -v a="${wall[export]}" -v b="${wall[$n]}" 'BEGIN {printf "%.2f", a / b}')
    rc=$(awk -v a="${cpu[export]}" -v b="${cpu[$n]}" 'BEGIN {printf "%.2f", a / b}')
    mb=$(awk -v k="${rss[$n]}" 'BEGIN {printf "%.1f", k / 1024}')
    verdict=ok
    [ $n = getdata ] && need=4 || need=3
    if awk -v r="$rw" -v m="$mb" -v need="$need" 'BEGIN {exit !(r < need || m >= 40)}'; then
        verdict="BELOW TARGET"
        status=1
    fi
    echo "$n: ${rw}x faster than mdb-export (wall), ${rc}x (cpu), peak ${mb} MB: $verdict"
done

# Scaling: time per row should stay flat; memory too without an order, and with one it grows
# only by the sort keys (12 bytes a row).
scale_row() { # ROWS LABEL: prints and records the two missions already measured on ROWS rows
    local n
    for n in getdata ranged; do
        local us mb
        us=$(awk -v s="${wall[$n]}" -v r="$1" 'BEGIN {printf "%.2f", s * 1e6 / r}')
        mb=$(awk -v k="${rss[$n]}" 'BEGIN {printf "%.1f", k / 1024}')
        printf '%-10s %-10s %8s s %8s us/row %8s MB\n' "$2" "$n" "${wall[$n]}" "$us" "$mb"
        [ $n = getdata ] && what=unordered || what="date range"
        bench_record_value "  getdata $2 rows, $what" "$us" "us/row" "" "${rss[$n]}" ""
    done
}
if [ "${SCALING:-1}" = 1 ]; then
    echo
    echo "Scaling (wall time per row, peak memory):"
    scale_row "$rows_plain" 1M
    for scale in "120 100k" "4818 4M"; do
        set -- $scale
        bench_grow_orders "$work/big.mdb" "$1" >/dev/null
        unset 'B_WALL[getdata]' 'B_WALL[ranged]' 'B_KB[getdata]' 'B_KB[ranged]'
        measure getdata /dev/null "$getdata" "$work/plain.ini"
        measure ranged /dev/null "$getdata" "$work/ranged.ini"
        scale_row "$(grep -c $'\r$' "$work/plain.tsv")" "$2"
    done
fi
exit $status
