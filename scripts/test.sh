#!/bin/bash
# Builds Netquill and runs the whole test suite headless.
# Usage: scripts/test.sh [extra ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(scripts/build.sh | tail -n 1)
cd "$BUILD"
ctest --output-on-failure -j2 "$@"
