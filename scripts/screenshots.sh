#!/bin/bash
# Pictures of every page of the real window, filled from a simulated card,
# in English and in Chinese: build/screenshots/{en,zh}/*.png. Offscreen; no
# display needed. Usage: scripts/screenshots.sh [build directory]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
cmake --build "$BUILD" --target netquill-screenshots >/dev/null
"$BUILD/bin/netquill-screenshots" --language English --out "$BUILD/screenshots/en"
"$BUILD/bin/netquill-screenshots" --language Chinese --out "$BUILD/screenshots/zh"
ls "$BUILD/screenshots/en" "$BUILD/screenshots/zh"
