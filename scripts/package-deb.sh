#!/usr/bin/env bash
# Builds the Debian package of velto in Release: dist/velto_VERSION_ARCH.deb
# (CPack's DEB generator, cmake/packaging.cmake) with the library, its
# development files, the velto tool and its manual page. VERSION is the one
# of project() in CMakeLists.txt.
#
#   scripts/package-deb.sh [CMAKE OPTION...]    # build folder build-package/
#
# The compiler and linker flags are Debian's (dpkg-buildflags, with every
# hardening feature), less -g: the package's binaries are stripped.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD:-$root/build-package}

"$root/scripts/install-deps.sh" dpkg-dev file

flags() {  # flags NAME: dpkg-buildflags' NAME without -g
  DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1" | sed -E 's/(^| )-g( |$)/\1/'
}
cppflags=$(flags CPPFLAGS)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVELTO_BUILD_TESTS=OFF -DVELTO_BUILD_BENCH=OFF -DVELTO_BUILD_TOOLS=ON \
  -DCMAKE_C_FLAGS="$(flags CFLAGS) $cppflags" -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(flags LDFLAGS)" \
  "$@" >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}"
# The package is the tool's as much as the library's: a build without CLI11
# (which leaves the tool out) makes none.
if [ ! -x "$build/tools/velto" ]; then
  echo "package-deb: the velto tool was not built (is libcli11-dev installed?)" >&2
  exit 1
fi

rm -f "$build"/velto_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
mkdir -p "$root/dist"
rm -f "$root"/dist/velto_*.deb
cp "$build"/velto_*.deb "$root/dist/"
echo "built $(ls "$root"/dist/velto_*.deb)"
