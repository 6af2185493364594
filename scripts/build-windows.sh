#!/usr/bin/env bash
# Builds velto.dll for Windows with MinGW-w64: 32-bit x86 (the primary
# target, build-win32/) and x86-64 (build-win64/), together with the C test
# host of each. The DLLs link the compiler's runtime statically and need
# nothing but system DLLs.
#
#   scripts/build-windows.sh            # both architectures
#   scripts/build-windows.sh i686       # one of them (i686 or x86_64)
#
# Set VELTO_WERROR=ON to treat warnings as errors; BUILD_TYPE picks the
# CMake build type (Release by default).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

arches=("$@")
[ ${#arches[@]} -eq 0 ] && arches=(i686 x86_64)

for arch in "${arches[@]}"; do
  case "$arch" in
    i686) dir=build-win32 ;;
    x86_64) dir=build-win64 ;;
    *) echo "unknown architecture: $arch (i686 or x86_64)" >&2; exit 2 ;;
  esac
  cmake -S "$root" -B "$root/$dir" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" \
    -DVELTO_WERROR="${VELTO_WERROR:-OFF}" \
    -DVELTO_BUILD_TESTS=OFF -DVELTO_BUILD_BENCH=OFF >/dev/null
  cmake --build "$root/$dir" -j"${JOBS:-2}" --target velto velto_windows_host
  echo "built $root/$dir/src/velto.dll ($arch)"
done
