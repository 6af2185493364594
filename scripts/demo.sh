#!/usr/bin/env bash
# The main job on the bundled sample: count it as 400-character manuscript
# pages, then show how it is laid out.
set -euo pipefail
build=${1:-build}
tool="$build/tools/velto"
sample=samples/manuscript.txt

"$tool" count "$sample"
echo
"$tool" show "$sample" | head -n 30
