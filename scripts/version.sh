#!/usr/bin/env bash
# Prints velto's version: the one of project() in the top-level
# CMakeLists.txt, the one place the project keeps it.
set -euo pipefail
version=$(sed -n 's/^project(velto VERSION \([0-9][0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")
if [ -z "$version" ]; then
  echo "version.sh: no \"project(velto VERSION ...)\" line in CMakeLists.txt" >&2
  exit 1
fi
echo "$version"
