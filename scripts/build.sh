#!/bin/bash
# Installs what is missing, configures and builds Netquill; prints the build
# directory (NETQUILL_BUILD_DIR, default build) as its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh >&2
BUILD=${NETQUILL_BUILD_DIR:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" >&2
echo "$BUILD"
