#!/bin/bash
# Programs a 1 MiB image into 64 simulated cards on loopback (each installs
# for 2 s) in one batch through the batch dialog, and compares the batch's
# total time with its ideal, ceil(64 / workers) times one card's time measured
# in the same run. Prints "name: value unit" lines ending with the ratio.
# Usage: bench/run-batch-bench.sh [build directory]   (about 70 s on 2 cores)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-${NETQUILL_BUILD_DIR:-build}}
if [ ! -x "$BUILD/bin/netquill-bench-batch" ]; then
  cmake --build "$BUILD" -j2 --target netquill-bench-batch >/dev/null
fi
exec env QT_QPA_PLATFORM=offscreen "$BUILD/bin/netquill-bench-batch"
