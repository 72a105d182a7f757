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
            -DSKYVANE_BUILD_BENCH=ON -DSKYVANE_BUILD_TESTS=OFF -DSKYVANE_BUILD_GUI=OFF >/dev/null
    fi
    cmake --build "$BUILD_DIR" -j2 --target "$@" >/dev/null
}

# bench_measure RUNS OUTPUT COMMAND... : runs COMMAND RUNS times under /usr/bin/time with its
# standard output in OUTPUT and its standard error in $BENCH_WORK/stderr.txt (the last run's).
# Evaluates $PREPARE before each run when set. Sets M_WALL (best wall seconds), M_CPU (user +
# system seconds of that run) and M_KB (highest peak resident memory over all runs, in KB).
# A failing COMMAND ends the script.
bench_measure() {
    local runs="$1" out="$2" i w c k timefile="$BENCH_WORK/time.txt"
    shift 2
    M_WALL="" M_CPU="" M_KB=0
    for ((i = 1; i <= runs; i++)); do
        [ -z "${PREPARE:-}" ] || eval "$PREPARE"
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
        if [ -z "$M_WALL" ] || awk -v a="$w" -v b="$M_WALL" 'BEGIN {exit !(a < b)}'; then
            M_WALL=$w
            M_CPU=$c
        fi
        [ "$k" -gt "$M_KB" ] && M_KB=$k
    done
    return 0
}

# bench_peak_kb TIMEFILE : the peak resident memory in KB from a /usr/bin/time -v report.
bench_peak_kb() {
    awk -F': ' '/Maximum resident set size/ {print $2}' "$1"
}

# bench_record NAME OURS_S TOOL TOOL_S OURS_KB TOOL_KB MAX_RATIO MAX_MB [GOAL GOAL_RATIO GOAL_MB]
# Appends one comparison to $BENCH_RESULTS (when set): our best wall time and peak memory against
# the tool's, and the highest time ratio (ours / tool) and peak memory that meet the target;
# optionally a stricter goal with its name, ratio and memory.
bench_record() {
    [ -n "${BENCH_RESULTS:-}" ] || return 0
    local IFS=$'\t'
    echo "$*" >>"$BENCH_RESULTS"
}
