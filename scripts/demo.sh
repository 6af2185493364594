#!/usr/bin/env bash
# The main job on the bundled sample: count it as 400-character manuscript
# pages, show how it is laid out, and measure it through GetStatus with a
# status file as a host would.
set -euo pipefail
build=${1:-build}
tool="$build/tools/velto"
sample=samples/manuscript.txt

"$tool" count "$sample"
echo
"$tool" show "$sample" | sed -n 1,30p
echo

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
printf '[GetStatus]\nLineLength=20\nPageLength=20\nCharSet=6\nTemporary=\n' > "$folder/status.ini"
echo "GetStatus with $folder/status.ini:"
"$tool" status "$sample" "$folder/status.ini"
