#!/bin/bash
# Builds Netquill and runs the whole test suite headless.
# Usage: scripts/test.sh [extra ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
BUILD=${NETQUILL_BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD"
cd "$BUILD"
ctest --output-on-failure -j2 "$@"
