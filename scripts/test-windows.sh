#!/usr/bin/env bash
# The Windows suite: builds velto.dll for 32-bit x86 and x86-64 and packs
# them into the Windows archive (scripts/package-windows.sh), takes them back
# out of the archive, checks their export lists and imports, and runs the
# end-to-end cases of tests/windows/cases.txt through the C host under Wine
# for both architectures: what is tested is what a user unpacks. The same
# host, built natively, first runs the same cases against libvelto.so, so
# both builds are held to the same results.
#
#   scripts/test-windows.sh
#
# As root it installs what is missing (MinGW-w64, Wine with its 32-bit part,
# the ja_JP.UTF-8 locale, and qemu-user where the kernel cannot run 32-bit
# programs itself). Each run uses a fresh Wine prefix in a temporary folder.
# Wine runs with LANG=ja_JP.UTF-8, so the ANSI code page is 932, and with
# TZ=JST-9 in the environment from the start; the cases that need a zone with
# daylight saving time run in passes of their own with that zone's TZ.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
start=$(date +%s)

# --- packages -------------------------------------------------------------------
packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386 locales unzip)
if [ "$(id -u)" -eq 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  apt-get update -qq
fi
"$root/scripts/install-deps.sh" "${packages[@]}"
# Some sandboxes' kernels run no 32-bit x86 programs; there the 32-bit Wine
# loader runs under qemu's user-mode emulation instead.
native_32bit=0
/lib/ld-linux.so.2 --help >/dev/null 2>&1 && native_32bit=1
if [ "$native_32bit" = 0 ]; then
  "$root/scripts/install-deps.sh" qemu-user
fi

if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  if [ "$(id -u)" -eq 0 ]; then
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
  else
    echo "the ja_JP.UTF-8 locale is missing; as root: localedef -i ja_JP -f UTF-8 ja_JP.UTF-8" >&2
    exit 1
  fi
fi

# --- builds ---------------------------------------------------------------------
# The DLLs are built once, for the archive; the suite runs those taken out of it.
"$root/scripts/package-windows.sh"
version=$("$root/scripts/version.sh")
archive=$root/dist/velto-$version-windows.zip
unpacked=$(mktemp -d "${TMPDIR:-/tmp}/velto-windows-archive.XXXXXX")
unzip -q "$archive" -d "$unpacked"

posix_build=$root/build-windows-posix
cmake -S "$root" -B "$posix_build" -DCMAKE_BUILD_TYPE=Release \
  -DVELTO_BUILD_TESTS=OFF -DVELTO_BUILD_BENCH=OFF -DVELTO_BUILD_TOOLS=OFF >/dev/null
cmake --build "$posix_build" -j"${JOBS:-2}" --target velto
cc -std=c99 -O1 -Wall -Wextra -Wpedantic -Wconversion -Wshadow -Werror \
  "$root/tests/windows/host.c" -o "$posix_build/velto_posix_host" -ldl

failures=0
total_passed=0
total_failed=0
total_skipped=0
log=$(mktemp "${TMPDIR:-/tmp}/velto-windows-suite.XXXXXX")
prefix=
cleanup() {
  if [ -n "$prefix" ]; then
    WINEPREFIX=$prefix /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
  fi
  rm -f "$log"
  rm -rf "$unpacked"
}
trap cleanup EXIT
# run LABEL COMMAND...: runs one suite, adds up its closing counts line
# ("N passed, N failed[, N skipped]"); a suite that fails without one counts
# as one failure. Leaves the command's exit status in last_status.
last_status=0
run() {
  local label=$1 status=0 counts
  shift
  echo "== $label"
  "$@" 2>&1 | tee "$log" || status=$?
  last_status=$status
  counts=$(grep -Eo '[0-9]+ passed, [0-9]+ failed(, [0-9]+ skipped)?' "$log" | tail -n 1 || true)
  if [ -n "$counts" ]; then
    total_passed=$((total_passed + $(grep -Eo '[0-9]+ passed' <<<"$counts" | grep -Eo '[0-9]+')))
    total_failed=$((total_failed + $(grep -Eo '[0-9]+ failed' <<<"$counts" | grep -Eo '[0-9]+')))
    total_skipped=$((total_skipped + $(grep -Eo '[0-9]+ skipped' <<<"$counts" | grep -Eo '[0-9]+' || echo 0)))
  elif [ "$status" -ne 0 ]; then
    total_failed=$((total_failed + 1))
  fi
  if [ "$status" -ne 0 ]; then
    failures=$((failures + 1))
    echo "== $label FAILED"
  fi
}

# --- checks without Wine ---------------------------------------------------------
# check_archive: the archive holds the two DLLs, the header, the export list
# and the text for host authors, and nothing else.
check_archive() {
  local passed=0 failed=0 listed wanted
  report() {  # report OK NAME
    if [ "$1" = 0 ]; then passed=$((passed + 1)); echo "ok   $2"; else failed=$((failed + 1)); echo "FAIL $2"; fi
  }
  unzip -tq "$archive" >/dev/null
  report $? "$(basename "$archive") passes unzip's test"
  listed=$(unzip -Z1 "$archive" | grep -v '/$' | sort)
  wanted=$(printf '%s\n' README.txt velto.def velto.h x64/velto.dll x86/velto.dll)
  [ "$listed" = "$wanted" ]
  report $? "it holds $(tr '\n' ' ' <<<"$wanted")"
  cmp -s "$unpacked/velto.h" "$root/include/velto.h"
  report $? "its velto.h is include/velto.h"
  cmp -s "$unpacked/velto.def" "$root/src/status/velto.def"
  report $? "its velto.def is src/status/velto.def"
  grep -q "^velto $version for Windows" "$unpacked/README.txt"
  report $? "its README.txt names version $version"
  echo "archive: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
run "archive" check_archive
run "exports i686" "$root/tests/windows/check_exports.sh" "$unpacked/x86/velto.dll" i686
run "exports x86_64" "$root/tests/windows/check_exports.sh" "$unpacked/x64/velto.dll" x86_64
run "cases against libvelto.so" env TZ=JST-9 \
  "$posix_build/velto_posix_host" "$posix_build/src/libvelto.so" "$root/tests/windows/cases.txt" posix

# The cases marked with a time zone (one with daylight saving time) run in a
# pass of their own for each zone, in every build: Wine takes the system time
# zone from TZ when a process starts, and a process cannot change it.
mapfile -t zones < <(sed -n 's/^zone "\(.*\)"$/\1/p' "$root/tests/windows/cases.txt" | sort -u)
for zone in "${zones[@]}"; do
  run "cases against libvelto.so, TZ=$zone" env TZ="$zone" \
    "$posix_build/velto_posix_host" "$posix_build/src/libvelto.so" "$root/tests/windows/cases.txt" posix "$zone"
done

# --- Wine -------------------------------------------------------------------------
prefix=$(mktemp -d "${TMPDIR:-/tmp}/velto-wine.XXXXXX")
export WINEPREFIX=$prefix WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 TZ=JST-9
unset DISPLAY

echo "== creating the Wine prefix"
if ! /usr/lib/wine/wine64 wineboot -i >"$log" 2>&1; then
  echo "wineboot reported a failure; the runs below may fail with it:"
  tail -n 30 "$log"
fi
/usr/lib/wine/wineserver -w

# run_wine LABEL COMMAND...: runs a suite under Wine. With WINEDEBUG=-all a
# loader that cannot start says nothing, so a failed run is repeated once
# with Wine's error channel on and the end of what it printed is shown.
run_wine() {
  local label=$1
  run "$@"
  [ "$last_status" -eq 0 ] && return
  shift
  echo "== $label: exit status $last_status; once more with WINEDEBUG=err+all (last 30 lines):"
  WINEDEBUG=err+all "$@" 2>&1 | tail -n 30 || true
}

# Windows paths of our files, on Wine's drive Z: (the Unix root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
cases=$(windows_path "$root/tests/windows/cases.txt")

# run_host LABEL BUILD DLL ARCH COMMAND...: the host of BUILD with DLL through
# a Wine command, once with TZ=JST-9 and once for each zone of the cases.
run_host() {
  local label=$1 build=$2 dll=$3 arch=$4 zone
  shift 4
  local host=("$build/tests/windows/velto_windows_host.exe" "$(windows_path "$dll")" "$cases" "$arch")
  run_wine "$label" "$@" "${host[@]}"
  for zone in "${zones[@]}"; do
    run_wine "$label, TZ=$zone" env TZ="$zone" "$@" "${host[@]}" "$zone"
  done
}

run_host "Wine x86_64" "$root/build-win64" "$unpacked/x64/velto.dll" x86_64 timeout 600 /usr/lib/wine/wine64

if [ "$native_32bit" = 1 ]; then
  run_host "Wine i686" "$root/build-win32" "$unpacked/x86/velto.dll" i686 timeout 900 /usr/lib/wine/wine
else
  # The 32-bit loader runs under qemu. It cannot start further 32-bit
  # processes (the kernel would have to run them), so the prefix's 32-bit
  # system folder is filled with Wine's own 32-bit DLLs here instead of by
  # wineboot, and the loader is told not to re-execute itself. Wine's start
  # is slow under emulation (a few minutes); the cases themselves are quick.
  # Wine maps its shared user data and first thread block at fixed addresses
  # below 4 GiB, which qemu can give only inside a guest address space it has
  # reserved up front (-R); without it the loader stops with "failed to map
  # the shared user data: c0000018".
  echo "== the kernel runs no 32-bit programs: the 32-bit Wine loader runs under qemu-i386"
  syswow64=$prefix/drive_c/windows/syswow64
  mkdir -p "$syswow64"
  cp -n /usr/lib/i386-linux-gnu/wine/i386-windows/* "$syswow64/"
  run_host "Wine i686" "$root/build-win32" "$unpacked/x86/velto.dll" i686 timeout 1200 env WINELOADERNOEXEC=1 \
    qemu-i386 -R 0xffff0000 -L / /usr/lib/wine/wine
fi

echo "test-windows: $(( $(date +%s) - start )) s, $failures suite(s) failed"
echo "windows: $total_passed passed, $total_failed failed, $total_skipped skipped"
[ "$failures" -eq 0 ]
