#!/usr/bin/env bash
# Builds the Windows archive of velto, dist/velto-VERSION-windows.zip:
#
#   x86/velto.dll   for 32-bit hosts (the exports are __stdcall)
#   x64/velto.dll   for 64-bit hosts
#   velto.h         the C declarations of the five exports
#   velto.def       the export list
#   README.txt      for host authors (docs/windows-hosts.txt): declaring the
#                   functions in C and in VBA, the calling convention, the
#                   keys of the status file
#
# The DLLs are built by scripts/build-windows.sh (build-win32/, build-win64/),
# in Release unless BUILD_TYPE says otherwise. VERSION is the one of
# project() in CMakeLists.txt; the DLLs' version resources carry it too.
# scripts/test-windows.sh makes the archive with this script and tests the
# DLLs it takes back out of it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

"$root/scripts/install-deps.sh" g++-mingw-w64-i686 g++-mingw-w64-x86-64
"$root/scripts/build-windows.sh" i686 x86_64

version=$("$root/scripts/version.sh")
stage=$(mktemp -d "${TMPDIR:-/tmp}/velto-windows-archive.XXXXXX")
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/x86" "$stage/x64"
cp "$root/build-win32/src/velto.dll" "$stage/x86/velto.dll"
cp "$root/build-win64/src/velto.dll" "$stage/x64/velto.dll"
for dll in "$stage"/x86/velto.dll "$stage"/x64/velto.dll; do
  # The version resource holds its strings in UTF-16.
  if ! strings -e l "$dll" | grep -qx "$version"; then
    echo "package-windows: ${dll#"$stage"/} carries no version $version" >&2
    exit 1
  fi
done
cp "$root/include/velto.h" "$root/src/status/velto.def" "$stage/"
# The text for host authors, with Windows line ends.
sed "s/@VERSION@/$version/g; s/\$/\r/" "$root/docs/windows-hosts.txt" >"$stage/README.txt"

mkdir -p "$root/dist"
archive=$root/dist/velto-$version-windows.zip
rm -f "$archive"
(cd "$stage" && cmake -E tar cf "$archive" --format=zip \
  README.txt velto.h velto.def x86/velto.dll x64/velto.dll)
echo "built $archive"
