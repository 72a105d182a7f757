#!/bin/bash
# Zips and unpacks a folder of a few hundred MB of mixed data with the client's zip component
# and with Info-ZIP (zip -9, unzip), and prints wall time, peak memory and archive size.
# Targets: zipping in at most 0.55x of zip -9's time (the component deflates on every core),
# unpacking in at most 0.8x of unzip's, peak memory under 100 MB.
#
#   bench/zip_bench.sh                 build into build-bench, ~300 MB of data, best of 3 runs
#   BUILD_DIR=... SIZE_MB=... REPEAT=... WORK_DIR=... bench/zip_bench.sh   (see bench/common.sh)
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
SIZE_MB=${SIZE_MB:-300}
REPEAT=${REPEAT:-3}

bench_install zip unzip time python3
bench_build zipbench
ZIPBENCH=$BUILD_DIR/bin/zipbench

WORK=${WORK_DIR:-$(mktemp -d)}
[ -n "${WORK_DIR:-}" ] || trap 'rm -rf "$WORK"' EXIT
BENCH_WORK=$WORK
DATA=$WORK/data
mkdir -p "$DATA"

echo "Generating about $SIZE_MB MB in $DATA"
/usr/bin/python3 "$BENCH_ROOT/bench/mixedfolder.py" "$DATA" "$SIZE_MB"
DATA_MB=$(du -sm "$DATA" | cut -f1)
echo "Data: $DATA_MB MB in $(ls "$DATA" | wc -l) files"

# Best wall time of REPEAT runs and the highest peak memory (KB) of each side.
for ((run = 1; run <= REPEAT; run++)); do
    cd "$DATA"
    rm -f "$WORK/info.zip" "$WORK/ours.zip"
    bench_run zip_info /dev/null zip -q -9 "$WORK/info.zip" -- *
    bench_run zip_ours /dev/null "$ZIPBENCH" zip "$WORK/ours.zip" "$DATA"
done
cd "$WORK"
for ((run = 1; run <= REPEAT; run++)); do
    rm -rf "$WORK/out_info" "$WORK/out_ours"
    bench_run unzip_info /dev/null unzip -q -o "$WORK/info.zip" -d "$WORK/out_info"
    bench_run unzip_ours /dev/null "$ZIPBENCH" unpack "$WORK/ours.zip" "$WORK/out_ours"
done
zt_info=${B_WALL[zip_info]} zm_info=${B_KB[zip_info]}
zt_ours=${B_WALL[zip_ours]} zm_ours=${B_KB[zip_ours]}
ut_info=${B_WALL[unzip_info]} um_info=${B_KB[unzip_info]}
ut_ours=${B_WALL[unzip_ours]} um_ours=${B_KB[unzip_ours]}

diff -r "$DATA" "$WORK/out_ours" >/dev/null || { echo "FAIL: unpacked files differ"; exit 1; }
diff -r "$DATA" "$WORK/out_info" >/dev/null || { echo "FAIL: Info-ZIP round trip differs"; exit 1; }

size_info=$(( $(stat -c %s "$WORK/info.zip") / 1048576 ))
size_ours=$(( $(stat -c %s "$WORK/ours.zip") / 1048576 ))
status=0
report() { # name ours_t info_t ours_kb info_kb max_ratio
    local ratio verdict=ok
    ratio=$(awk "BEGIN {printf \"%.2f\", $2 / $3}")
    if awk "BEGIN {exit !($2 > $6 * $3)}" || [ "$4" -ge 102400 ]; then verdict=MISSED; status=1; fi
    printf "%-7s ours %7.2f s %6d MB   Info-ZIP %7.2f s %6d MB   time ratio %s  %s\n" \
        "$1" "$2" $(( $4 / 1024 )) "$3" $(( $5 / 1024 )) "$ratio" "$verdict"
}
bench_record "zip, $DATA_MB MB folder" "$zt_ours" "zip -9" "$zt_info" "$zm_ours" "$zm_info" 0.55 100
bench_record "unpack, $DATA_MB MB folder" "$ut_ours" unzip "$ut_info" "$um_ours" "$um_info" 0.8 100
echo "Best of $REPEAT runs, peak resident memory:"
report zip "$zt_ours" "$zt_info" "$zm_ours" "$zm_info" 0.55
report unpack "$ut_ours" "$ut_info" "$um_ours" "$um_info" 0.8
echo "Archive size: ours $size_ours MB, Info-ZIP $size_info MB"
exit $status
