#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ and
# runs every test once; any report fails the run, also one from a program a test started and
# whose error output nobody reads: every report goes to a file in build-asan/sanitizer-reports/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -O1 -g1"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-asan -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
reports="$PWD/build-asan/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
# libmdb is not ours and not built with the sanitizers; on damaged files it reads past its own
# buffers through the C library. Only the database worker loads it, so such a read costs one
# mission (the tests check that); the suppression names that library and nothing else.
export ASAN_OPTIONS="suppressions=$PWD/scripts/asan-suppressions.txt:detect_leaks=1:abort_on_error=1:log_path=$reports/report"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$reports/report"
status=0
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" "$@" || status=$?
if [ -n "$(ls -A "$reports")" ]; then
  for report in "$reports"/*; do
    echo "==== $report"
    cat "$report"
  done
  echo "FAILED: sanitizer reports above" >&2
  status=1
fi
exit $status
