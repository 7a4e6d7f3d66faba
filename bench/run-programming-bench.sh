#!/bin/bash
# Programs a 16 MiB image through the programming page into the card
# simulator on loopback and drives the same simulator with a minimal
# stop-and-wait client, against a card that answers at once and one that
# takes 1 ms per chunk; then compares the page's peak memory for a 16 MiB and
# a 128 MiB image. Prints "name: value unit" lines ending with the ratios.
# Usage: bench/run-programming-bench.sh [build directory]   (about two minutes)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-${NETQUILL_BUILD_DIR:-build}}
if [ ! -x "$BUILD/bin/netquill-bench-programming" ]; then
  cmake --build "$BUILD" -j2 --target netquill-bench-programming >/dev/null
fi
exec env QT_QPA_PLATFORM=offscreen "$BUILD/bin/netquill-bench-programming"
