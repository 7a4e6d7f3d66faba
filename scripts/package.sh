#!/bin/bash
# Builds the Debian package: installs what building it needs, builds Netquill
# (nothing to do when the build is up to date) and runs CPack. Prints the
# package's path as its last line. NETQUILL_BUILD_DIR chooses the build folder
# (default build); the package goes to its package/ folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh package >&2
BUILD=$(scripts/build.sh | tail -n 1)
rm -rf "$BUILD/package"
cpack --config "$BUILD/CPackConfig.cmake" -B "$BUILD/package" >&2
ls "$(cd "$BUILD/package" && pwd)"/netquill_*.deb
