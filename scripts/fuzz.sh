#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/ and runs each for a fixed time on its seed corpus.
#   bash scripts/fuzz.sh [seconds per target]      (default 30: three minutes in all)
# Prints executions and findings per target; a finding's input is kept in build-fuzz/findings/
# and must become a regression test.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"

bash scripts/install-deps.sh
if ! command -v clang++-14 >/dev/null || ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q "install ok installed"; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "clang-14 and libclang-rt-14-dev are needed; run this script as root to install them." >&2
    exit 1
  fi
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends clang-14 libclang-rt-14-dev
fi

flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DSKYVANE_BUILD_GUI=OFF -DSKYVANE_BUILD_TESTS=OFF -DSKYVANE_BUILD_FUZZ=ON >/dev/null
targets=(mdbreader wireframer profilefile missionfile zipguard wildcard)
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

export SKYVANE_FUZZ_MDB="$PWD/tests/data/nwind.mdb"
# Leaks are not findings here: the reading library keeps its catalog for the process's life.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p build-fuzz/findings
# Findings of earlier runs stay for their regression tests; only this run's are counted.
stamp=$(mktemp build-fuzz/findings/.started.XXXXXX)
printf '\n%-12s %12s %9s\n' target executions findings
status=0
for t in "${targets[@]}"; do
  work="build-fuzz/corpus/$t"
  mkdir -p "$work" "build-fuzz/findings/$t"
  log="build-fuzz/fuzz_$t.log"
  set +e
  "build-fuzz/bin/fuzz_$t" "$work" "tests/fuzz/corpus/$t" -max_total_time="$seconds" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$t/" >"$log" 2>&1
  set -e
  runs=$(grep -oP 'stat::number_of_executed_units:\s*\K\d+' "$log" | tail -1 || true)
  found=$(find "build-fuzz/findings/$t" -type f -newer "$stamp" | wc -l)
  printf '%-12s %12s %9s\n' "$t" "${runs:-?}" "$found"
  [ "$found" -eq 0 ] || status=1
done
rm -f "$stamp"
exit $status
