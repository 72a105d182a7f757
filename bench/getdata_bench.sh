#!/usr/bin/env bash
# getdata against mdb-export on a table of about one million rows.
#
# Builds mdb-grow into a temporary folder, grows nwind.mdb's Orders to ~1,000,000 rows, then
# exports all 14 columns three ways, each the best of RUNS runs:
#   mdb-export      mdb-export -H -d TAB -Q (no header, no quotes)
#   getdata         a mission without date limits (rows stream in stored order)
#   getdata ranged  a mission with OrderDate limits that take in every row (keys, sort, read again)
# and prints wall time, CPU time (user + system), peak memory and the ratios.
# Targets: getdata at least twice as fast as mdb-export, peak memory under 64 MB.
#
# Usage: bench/getdata_bench.sh [build-dir]     (RUNS=3 by default)
# Without a build folder it makes its own, build-bench, as a Release build of the libraries and
# the bench only; a given folder keeps its settings and gets SKYVANE_BUILD_BENCH=ON.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-}"
runs="${RUNS:-3}"

need_packages=()
[ -x /usr/bin/time ] || need_packages+=(time)
command -v mdb-export >/dev/null || need_packages+=(mdbtools)
if [ ${#need_packages[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing: ${need_packages[*]} (run as root to install them)" >&2
        exit 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need_packages[@]}"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "== building getdata_bench"
if [ -z "$build" ]; then
    build="$root/build-bench"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKYVANE_BUILD_BENCH=ON \
        -DSKYVANE_BUILD_TESTS=OFF -DSKYVANE_BUILD_GUI=OFF >/dev/null
else
    cmake -S "$root" -B "$build" -DSKYVANE_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$build" -j2 --target getdata_bench >/dev/null
getdata="$build/bin/getdata_bench"

echo "== growing Orders"
cc -O2 -o "$work/mdb-grow" "$root/bench/mdb-grow.c" $(pkg-config --cflags --libs libmdb)
cp "$root/tests/data/nwind.mdb" "$work/big.mdb"
chmod u+w "$work/big.mdb"
"$work/mdb-grow" "$work/big.mdb" Orders 1204

fields="OrderID,CustomerID,EmployeeID,OrderDate,RequiredDate,ShippedDate,ShipVia,Freight,ShipName,ShipAddress,ShipCity,ShipRegion,ShipPostalCode,ShipCountry"
types="n,s,n,s,s,s,n,n,s,s,s,s,s,s"
printf '[Mission]\r\nType=getdata\r\nMDBName=%s\r\nTableName=Orders\r\nDataFields=%s\r\n' \
    "$work/big.mdb" "$fields" >"$work/plain.ini"
printf '[Mission]\r\nType=getdata\r\nMDBName=%s\r\nTableName=Orders\r\nUseTargetStartDate=True\r\nStartDateFieldName=OrderDate\r\nStartDate=1/1/1990\r\nUseTargetEndDate=True\r\nEndDateFieldName=OrderDate\r\nEndDate=12/31/2099\r\nDataFields=%s\r\n' \
    "$work/big.mdb" "$fields" >"$work/ranged.ini"
for m in plain ranged; do
    printf '[TSD]\r\nDataTypes=%s\r\n' "$types" >"$work/$m.tsd"
done

# measure NAME OUTPUT COMMAND...: best wall, its CPU seconds and the peak memory over all runs.
declare -A wall cpu rss
measure() {
    local name="$1" out="$2"
    shift 2
    local best="" best_cpu="" peak=0
    for ((i = 1; i <= runs; i++)); do
        /usr/bin/time -v -o "$work/time.txt" "$@" >"$out" 2>"$work/stderr.txt"
        if [ "$name" != export ] && grep -q '^Error' "$work/stderr.txt"; then
            echo "getdata reported errors:" >&2
            cat "$work/stderr.txt" >&2
            exit 1
        fi
        local w u s r
        w=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,p,":"); t=0; for(i=1;i<=n;i++) t=t*60+p[i]; print t}' "$work/time.txt")
        u=$(awk -F': ' '/User time/ {print $2}' "$work/time.txt")
        s=$(awk -F': ' '/System time/ {print $2}' "$work/time.txt")
        r=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
        if [ -z "$best" ] || awk -v a="$w" -v b="$best" 'BEGIN {exit !(a < b)}'; then
            best="$w"
            best_cpu=$(awk -v a="$u" -v b="$s" 'BEGIN {printf "%.2f", a + b}')
        fi
        [ "$r" -gt "$peak" ] && peak="$r"
    done
    wall[$name]="$best"
    cpu[$name]="$best_cpu"
    rss[$name]="$peak"
}

echo "== running (best of $runs)"
measure export "$work/export.txt" mdb-export -H -d "$(printf '\t')" -Q "$work/big.mdb" Orders
measure getdata /dev/null "$getdata" "$work/plain.ini"
measure ranged /dev/null "$getdata" "$work/ranged.ini"

rows_plain=$(grep -c $'\r$' "$work/plain.tsv" || true)
rows_ranged=$(grep -c $'\r$' "$work/ranged.tsv" || true)
echo "rows written: getdata $rows_plain, getdata ranged $rows_ranged"

printf '\n%-16s %9s %9s %10s\n' "" "wall s" "cpu s" "peak MB"
for n in export getdata ranged; do
    printf '%-16s %9s %9s %10.1f\n' "$n" "${wall[$n]}" "${cpu[$n]}" "$(awk -v k="${rss[$n]}" 'BEGIN {print k / 1024}')"
done

status=0
echo
for n in getdata ranged; do
    rw=$(awk -v a="${wall[export]}" -v b="${wall[$n]}" 'BEGIN {printf "%.2f", a / b}')
    rc=$(awk -v a="${cpu[export]}" -v b="${cpu[$n]}" 'BEGIN {printf "%.2f", a / b}')
    mb=$(awk -v k="${rss[$n]}" 'BEGIN {printf "%.1f", k / 1024}')
    verdict=ok
    if awk -v r="$rw" -v m="$mb" 'BEGIN {exit !(r < 2 || m >= 64)}'; then
        verdict="BELOW TARGET"
        status=1
    fi
    echo "$n: ${rw}x faster than mdb-export (wall), ${rc}x (cpu), peak ${mb} MB: $verdict"
done
exit $status
