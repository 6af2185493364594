#!/usr/bin/env bash
# Checks the Debian package that scripts/package-deb.sh built
# (dist/velto_VERSION_ARCH.deb) as a user meets it, by installing it on this
# machine and removing it again at the end, whatever happened:
#  - lintian reports no error (its warnings are printed);
#  - apt-get installs it, its dependencies coming along;
#  - the installed velto reports the project's version and counts the sample;
#  - a C host built with `pkg-config --cflags --libs velto`, and one built
#    with find_package(velto), call GetStatus against the installed
#    libvelto.so.0 and succeed, with the counts the installed tool gives;
#  - `man velto` finds the manual page.
#
#   scripts/test-package.sh [DEB]
#
# As root only: it installs a package. Closes with "package: N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "$(id -u)" -ne 0 ]; then
  echo "test-package: installs the package, so it runs as root only" >&2
  exit 1
fi
version=$("$root/scripts/version.sh") || exit 1
deb=${1:-$(ls "$root"/dist/velto_"$version"_*.deb 2>/dev/null | head -n 1)}
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "test-package: no dist/velto_${version}_*.deb; build it with scripts/package-deb.sh" >&2
  exit 1
fi
deb=$(realpath "$deb")
"$root/scripts/install-deps.sh" lintian man-db pkg-config gcc cmake || exit 1

passed=0
failed=0
check() {  # check NAME COMMAND...: runs COMMAND, counts and reports it
  local name=$1 output status
  shift
  output=$("$@" 2>&1)
  status=$?
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
    echo "ok   $name"
  else
    failed=$((failed + 1))
    echo "FAIL $name (exit status $status)"
    [ -n "$output" ] && sed 's/^/     /' <<<"$output"
  fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/velto-package.XXXXXX")
installed=0
cleanup() {
  rm -rf "$work"
  [ "$installed" = 1 ] || return
  echo "== removing the package"
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq velto >/dev/null
  if dpkg-query -W velto >/dev/null 2>&1; then
    echo "test-package: velto is still known to dpkg:" >&2
    dpkg -l velto >&2
    exit 1
  fi
}
trap cleanup EXIT

echo "== $(basename "$deb")"
echo "== lintian"
lintian_output=$(lintian --fail-on error "$deb" 2>&1)
lintian_status=$?
grep -v '^running with root privileges' <<<"$lintian_output" | sed '/^$/d; s/^/     /'
check "lintian reports no error" test "$lintian_status" -eq 0

# The version of every file comes from the one place, project() in
# CMakeLists.txt; the changelog must have a section for it.
check "the package's version is $version" \
  test "$(dpkg-deb -f "$deb" Version)" = "$version"
check "CHANGELOG.md starts with $version" \
  grep -m1 -q "^## \[\?$version\]\? " "$root/CHANGELOG.md"

echo "== installing"
if dpkg-query -W -f='${Status}' velto 2>/dev/null | grep -q 'install ok installed'; then
  echo "velto was installed before this test; it is replaced, and removed at the end"
fi
installed=1
check "apt-get installs the package" \
  env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb"

velto=/usr/bin/velto
check "velto is on the PATH at $velto" test "$(command -v velto)" = "$velto"
check "velto --version says velto $version" test "$("$velto" --version)" = "velto $version"
check "velto count measures the sample" \
  bash -c "'$velto' count '$root/samples/manuscript.txt' | grep -q 'manuscript.txt'"

# The counts a host gets for the status file the hosts write.
printf '[GetStatus]\nLineLength=20\nPageLength=20\nCharSet=6\nTemporary=\n' >"$work/tool.ini"
counts=$("$velto" count --status "$work/tool.ini" --json "$root/samples/manuscript.txt")
json() { grep -o "\"$1\":[0-9]*" <<<"$counts" | cut -d: -f2; }
expected="CRLF=$(json chars_with_line_ends)
NoCRLF=$(json chars)
NoCRLF_NoBLANK=$(json chars_without_blanks)
LineCount=$(json display_lines)
PageCount=$(json pages)
ModCount=$(json mod_count)"

libdir=$(pkg-config --variable=libdir velto 2>/dev/null)
# host_runs HOST: the host finds the installed libvelto.so.0, GetStatus
# succeeds and its results are the tool's.
host_runs() {
  local host=$1 status=$work/$(basename "$1").ini output
  # /lib is /usr/lib on Debian: the loader may name either.
  local loaded
  loaded=$(ldd "$host" | awk '$1 == "libvelto.so.0" {print $3}')
  if [ -z "$loaded" ] || [ "$(realpath "$loaded")" != "$(realpath "$libdir/libvelto.so.0")" ]; then
    echo "does not load $libdir/libvelto.so.0:"
    ldd "$host"
    return 1
  fi
  output=$("$host" "$root/samples/manuscript.txt" "$status") || { echo "$output"; return 1; }
  local results
  results=$(grep -E '^(CRLF|NoCRLF|NoCRLF_NoBLANK|LineCount|PageCount|ModCount)=' "$status")
  if [ "$results" != "$expected" ]; then
    echo "the status file holds"
    echo "$results"
    echo "where velto count gives"
    echo "$expected"
    return 1
  fi
  grep -q '^Name=manuscript.txt$' "$status" || { echo "no Name=manuscript.txt in"; cat "$status"; return 1; }
}

echo "== a host built with pkg-config"
check "pkg-config knows velto $version" test "$(pkg-config --modversion velto)" = "$version"
check "the host compiles with pkg-config --cflags --libs velto" \
  bash -c "cc -std=c99 -Wall -Wextra -Wpedantic -Werror '$root/tests/package/host.c' \
             -o '$work/pkg-config-host' \$(pkg-config --cflags --libs velto)"
check "the pkg-config host calls GetStatus" host_runs "$work/pkg-config-host"

echo "== a host built with find_package(velto)"
check "the host configures with find_package(velto $version EXACT)" \
  cmake -S "$root/tests/package" -B "$work/cmake-host" -DVELTO_EXPECTED_VERSION="$version"
check "the host builds against velto::velto" cmake --build "$work/cmake-host"
check "the find_package host calls GetStatus" host_runs "$work/cmake-host/velto_package_host"

echo "== the manual page"
check "man velto finds the page" test "$(man -w velto)" = /usr/share/man/man1/velto.1.gz
check "man velto shows the page" \
  bash -c "MANPAGER=cat MANWIDTH=80 man velto 2>/dev/null | grep -q 'velto - character, line and page counts'"

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
