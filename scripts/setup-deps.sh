#!/bin/bash
# Installs the Debian packages that building, running and testing Netquill need.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
PKGS=(
  cmake ninja-build g++ pkg-config
  qtbase5-dev qttools5-dev-tools qttools5-dev
  libquazip1-qt5-dev libpcap-dev
  xvfb xauth xdotool imagemagick fonts-wqy-microhei
  python3 python3-openpyxl python3-xlsxwriter
  iproute2
  clang libclang-rt-14-dev
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup-deps: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
