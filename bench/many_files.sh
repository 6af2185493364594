#!/usr/bin/env bash
# Many small files through the command-line tool, as a writer counts a
# folder of short pieces: `velto count` on 1,000 UTF-8 files of about 1 KiB,
# one call, next to `wc -m` on the same files. Prints the median of a few
# runs, the files per second and the ratio to wc.
#
#   bench/many_files.sh [path/to/velto] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-$root/build-release/tools/velto}
runs=${2:-7}
[ -x "$tool" ] || { echo "many_files: no tool at $tool (build it first)" >&2; exit 1; }

folder=$(mktemp -d "${TMPDIR:-/tmp}/velto-many-files.XXXXXX")
trap 'rm -rf "$folder"' EXIT
for _ in $(seq 170); do cat "$root/samples/manuscript.txt"; done > "$folder/all.txt"
# Whole lines, at most 1 KiB to a file, so that no character is cut.
(cd "$folder" && split -C 1024 -a 4 -d all.txt piece- && rm all.txt)
mapfile -t files < <(find "$folder" -name 'piece-*' | sort | head -n 1000)

# median_ms COMMAND...: the median wall time of the runs, in milliseconds.
median_ms() {
  local times=() start end
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { printf "%.1f", a[int((NR + 1) / 2)] / 1000 }'
}

tool_ms=$(median_ms "$tool" count "${files[@]}")
wc_ms=$(median_ms wc -m "${files[@]}")
awk -v n="${#files[@]}" -v t="$tool_ms" -v w="$wc_ms" 'BEGIN {
  printf "velto count: %d files of about 1 KiB in %.1f ms (%.0f files/s)\n", n, t, n * 1000 / t
  printf "wc -m:       %d files in %.1f ms; velto takes %.2fx as long\n", n, w, t / w
}'
