#!/usr/bin/env bash
# Builds the libFuzzer targets (clang++, AddressSanitizer, UBSan) in
# build-fuzz and runs each for the given number of seconds, one after
# another:
#   scripts/fuzz.sh 60              every target for a minute
#   scripts/fuzz.sh 600 measure     one target for ten minutes
# The library is compiled with clang++ here too, which is where CI checks
# that clang builds it without warnings (CMAKE_FLAGS=-DVELTO_WERROR=ON).
# The seeds in fuzz/corpus/<target> are read, never written; what a run
# learns goes to build-fuzz/corpus/<target>, crashing inputs to
# build-fuzz/artifacts. Exits non-zero when any target found a failure.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(measure line_wrap profile time markup utf8)
build=${VELTO_FUZZ_BUILD:-build-fuzz}

# CMAKE_FLAGS reach the configure step as with make, e.g. -DVELTO_WERROR=ON.
cmake -S fuzz -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ ${CMAKE_FLAGS:-} >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

# Inputs as large as each target's data can meaningfully be: a status file
# and a target with lines past the 5119-byte limit, one source line, an INI
# file with its operations, and a few texts.
max_len() {
  case $1 in
    measure|markup) echo 16384 ;;
    line_wrap) echo 5200 ;;
    profile) echo 4096 ;;
    *) echo 1024 ;;
  esac
}

failed=()
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  artifacts="$build/artifacts"
  log="$build/fuzz_$target.log"
  mkdir -p "$work" "$artifacts"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$(max_len "$target")"
           -print_final_stats=1 -artifact_prefix="$artifacts/$target-")
  [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
  echo "fuzz_$target: ${seconds}s"
  if "$build/fuzz_$target" "${options[@]}" "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz_$target: ${runs:-?} inputs run, no failure"
  else
    failed+=("$target")
    echo "fuzz_$target: FAILED, see $log" >&2
    grep -E 'ERROR|check failed|differs|SUMMARY|Test unit written' "$log" | head -20 >&2 || true
  fi
done

[ ${#failed[@]} -eq 0 ] || echo "fuzzing found failures in: ${failed[*]}" >&2
echo "fuzzing: $((${#targets[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
