#!/usr/bin/env bash
# Runs every benchmark program of a build folder. Figures are only
# meaningful from a Release build: `make bench` configures one.
set -euo pipefail
build=${1:-build-release}
for program in "$build"/bench/velto_bench_*; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" --benchmark_min_time=0.2
done
if [ -x "$build/tools/velto" ]; then
  echo "== many small files"
  bench/many_files.sh "$build/tools/velto"
fi
