#!/bin/bash
# Builds Netquill and starts it beside the bundled card simulator, which
# plays one card on 127.0.0.1 (port 8712): type 127.0.0.1 and press Connect.
# Arguments go to the simulator, e.g.  scripts/run.sh --version "v1.2.2 old"
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(scripts/build.sh | tail -n 1)

# The tool keeps config/ and reads translations/ relative to its working
# directory: run it from beside the executable.
cd "$BUILD/bin"
./netquill-cardsim --listen 127.0.0.1 "$@" &
SIM=$!
trap 'kill $SIM 2>/dev/null; wait $SIM 2>/dev/null' EXIT
sleep 0.3
kill -0 $SIM 2>/dev/null || { echo "run.sh: the card simulator did not start (is port 8712 on 127.0.0.1 taken?)" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  ./netquill
else
  echo "run.sh: no display found; starting the tool on a virtual X display (xvfb-run)." >&2
  xvfb-run -a -s "-screen 0 1280x800x24" ./netquill
fi
