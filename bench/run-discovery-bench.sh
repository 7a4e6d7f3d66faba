#!/bin/bash
# 1000 simulated cards answer one search of the real device search page, by
# multicast and raw Ethernet, inside network namespaces of this run's own
# (root only). Prints "name: value unit" lines ending with the ratio of cards
# found. Usage: bench/run-discovery-bench.sh [build directory]   (about 10 s)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-${NETQUILL_BUILD_DIR:-build}}
cmake --build "$BUILD" --target netquill-bench-discovery netquill-discoverysim >/dev/null
exec scripts/netns-harness.sh "$BUILD/bin/netquill-bench-discovery"
