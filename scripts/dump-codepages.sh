#!/usr/bin/env bash
# Writes Windows' reading of EUC-JP and UTF-7 into tests/platform/data/,
# the reference the POSIX decoder is tested against. Run it again only to
# regenerate the data (then review and commit the difference); the normal
# test run reads the committed files and needs no Wine.
#
#   scripts/dump-codepages.sh
#
# Builds tests/windows/codepage_dump.c with MinGW-w64 (x86-64) and runs it
# under wine64 in a fresh temporary prefix. As root it installs what is
# missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

"$root/scripts/install-deps.sh" g++-mingw-w64-x86-64 wine wine64

build=$root/build-win64
mkdir -p "$build" "$root/tests/platform/data"
x86_64-w64-mingw32-gcc -std=c99 -O1 -Wall -Wextra -Wpedantic -Wconversion -Wshadow -Werror -static \
  "$root/tests/windows/codepage_dump.c" -o "$build/codepage_dump.exe"

prefix=$(mktemp -d "${TMPDIR:-/tmp}/velto-wine.XXXXXX")
cleanup() {
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
}
trap cleanup EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all
unset DISPLAY
if ! /usr/lib/wine/wine64 wineboot -i >"$prefix/wineboot.log" 2>&1; then
  echo "creating the Wine prefix failed:" >&2
  tail -n 30 "$prefix/wineboot.log" >&2
  exit 1
fi

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
for table in euc-jp utf-7; do
  output=$root/tests/platform/data/windows-$table.txt
  /usr/lib/wine/wine64 "$build/codepage_dump.exe" "$table" "$(windows_path "$output")"
  echo "wrote $output ($(wc -l <"$output") lines)"
done
