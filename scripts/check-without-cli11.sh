#!/usr/bin/env bash
# The command-line tool needs CLI11; the library, the tests and the
# benchmarks must not. This configures a build with the CLI11 search forced
# to fail and builds everything that is left, as a machine without CLI11
# would.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-no-cli11}
log=$(mktemp "${TMPDIR:-/tmp}/velto-no-cli11.XXXXXX")
trap 'rm -f "$log"' EXIT

if ! cmake -S . -B "$build" -DCMAKE_DISABLE_FIND_PACKAGE_CLI11=ON -DVELTO_WERROR=ON >"$log" 2>&1; then
  cat "$log"
  echo "without CLI11: configuring failed (output above)" >&2
  exit 1
fi
if ! grep -q "CLI11 not found; the command-line tool is left out" "$log"; then
  cat "$log"
  echo "without CLI11: the configure step did not say that the tool is left out" >&2
  exit 1
fi
if [ -e "$build/tools" ]; then
  echo "without CLI11: the tool's folder was configured anyway" >&2
  exit 1
fi
cmake --build "$build" -j"${JOBS:-$(nproc)}"
echo "without CLI11: library, tests and benchmarks built; the tool left out"
