#!/usr/bin/env bash
# Builds the hardening tests with ThreadSanitizer in build-tsan and runs the
# concurrency stress test once: processes and threads measuring together,
# and the first time conversions of a process made at the same moment.
#   scripts/tsan.sh                       the stress test for 2 seconds
#   VELTO_STRESS_SECONDS=30 scripts/tsan.sh   longer
# Exits non-zero on any test failure or data race report.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${VELTO_TSAN_BUILD:-build-tsan}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_WERROR=ON \
  -DVELTO_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" >/dev/null
cmake --build "$build" -j "$(nproc)" --target velto_hardening_tests

# A report stops the process that made it (a child process too, which the
# test then sees end abnormally); the log is searched as well. The
# suppressions file names the one report that comes from inside glibc.
log="$build/tsan.log"
status=0
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan-suppressions.txt ${TSAN_OPTIONS:-}" \
  "$build/tests/velto_hardening_tests" --gtest_filter='Stress.*' 2>&1 | tee "$log" || status=$?
if grep -q "WARNING: ThreadSanitizer" "$log"; then
  echo "ThreadSanitizer reported a problem, see $log" >&2
  exit 1
fi
exit "$status"
