# shellcheck shell=bash
# Shared by the bench/*_bench.sh scripts (sourced, not run).
#
# Settings from the environment:
#   BUILD_DIR      build folder (default <repo>/build-bench); a new one is configured as a
#                  Release build of the libraries and the benches only
#   BENCH_BUILT=1  the build folder already holds the bench drivers: no install, no build
#                  (bench/run.sh sets it after installing and building once)
#   BENCH_RESULTS  file to which each bench appends its figures, one line per comparison

BENCH_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(realpath -m "${BUILD_DIR:-$BENCH_ROOT/build-bench}")

# bench_install PACKAGE... : installs the Debian packages that are not installed yet.
bench_install() {
    [ "${BENCH_BUILT:-}" = 1 ] && return 0
    local p missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing: ${missing[*]} (run as root to install them)" >&2
        exit 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# bench_build TARGET... : configures BUILD_DIR with the benches switched on and builds TARGETs.
bench_build() {
    [ "${BENCH_BUILT:-}" = 1 ] && return 0
    if [ -f "$BUILD_DIR/CMakeCache.txt" ]; then
        cmake -S "$BENCH_ROOT" -B "$BUILD_DIR" -DSKYVANE_BUILD_BENCH=ON >/dev/null
    else
        cmake -S "$BENCH_ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DSKYVANE_BUILD_BENCH=ON -DSKYVANE_BUILD_TESTS=OFF >/dev/null
    fi
    cmake --build "$BUILD_DIR" -j2 --target "$@" >/dev/null
}

# bench_run KEY OUTPUT COMMAND... : runs COMMAND once under /usr/bin/time, with its standard
# output in OUTPUT and its standard error in $BENCH_WORK/stderr.txt. Keeps per KEY the best wall
# seconds (B_WALL), the user + system seconds of that run (B_CPU) and the highest peak resident
# memory in KB (B_KB). Writes pending data to disk first, so that one run's write-back does not
# slow the next. A failing COMMAND ends the script.
# The benches alternate their runs (tool, ours, tool, ours...): the load of a shared machine
# changes by the minute and should weigh on both sides alike.
declare -A B_WALL B_CPU B_KB
bench_run() {
    local key="$1" out="$2" w c k timefile="$BENCH_WORK/time.txt"
    shift 2
    sync
    if ! /usr/bin/time -v -o "$timefile" "$@" >"$out" 2>"$BENCH_WORK/stderr.txt"; then
        echo "failed: $*" >&2
        cat "$BENCH_WORK/stderr.txt" >&2
        exit 1
    fi
    read -r w c k < <(awk -F': ' '
        /Elapsed \(wall clock\)/ { n = split($2, p, ":"); for (i = 1; i <= n; i++) w = w * 60 + p[i] }
        /User time/ { c += $2 }
        /System time/ { c += $2 }
        /Maximum resident set size/ { k = $2 }
        END { printf "%.2f %.2f %d\n", w, c, k }' "$timefile")
    if [ -z "${B_WALL[$key]:-}" ] || awk -v a="$w" -v b="${B_WALL[$key]}" 'BEGIN {exit !(a < b)}'; then
        B_WALL[$key]=$w
        B_CPU[$key]=$c
    fi
    [ "$k" -gt "${B_KB[$key]:-0}" ] && B_KB[$key]=$k
    return 0
}

# bench_peak_kb TIMEFILE : the peak resident memory in KB from a /usr/bin/time -v report.
bench_peak_kb() {
    awk -F': ' '/Maximum resident set size/ {print $2}' "$1"
}

# bench_record NAME OURS_S TOOL TOOL_S OURS_KB TOOL_KB MAX_RATIO MAX_MB
# Appends one comparison to $BENCH_RESULTS (when set): our best wall time and peak memory against
# the tool's, and the highest time ratio (ours / tool) and peak memory that meet the target.
bench_record() {
    [ -n "${BENCH_RESULTS:-}" ] || return 0
    local IFS=$'\t'
    echo "$*" >>"$BENCH_RESULTS"
}

# bench_record_value NAME VALUE UNIT MAX OURS_KB MAX_MB : one figure of ours against a fixed
# target (at most MAX, in UNIT) instead of a tool; MAX empty for a figure without a target.
bench_record_value() {
    bench_record "$1" "$2" - "$3" "$5" - "$4" "$6"
}

# bench_grow_orders DATABASE COPIES : a copy of the test database whose Orders table holds
# COPIES times its 830 rows more (bench/mdb-grow.c; 1204 copies give about 1,000,000 rows).
bench_grow_orders() {
    local grow="$BENCH_WORK/mdb-grow"
    [ -x "$grow" ] || cc -O2 -o "$grow" "$BENCH_ROOT/bench/mdb-grow.c" $(pkg-config --cflags --libs libmdb)
    cp "$BENCH_ROOT/tests/data/nwind.mdb" "$1"
    chmod u+w "$1"
    "$grow" "$1" Orders "$2"
}
