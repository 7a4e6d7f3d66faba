#!/bin/bash
# Installs the Debian packages that building, running and testing Netquill need.
# Idempotent: when everything is present it only asks dpkg and returns.
#   scripts/setup-deps.sh           build, run, test
#   scripts/setup-deps.sh package   the same, plus what building, checking and
#                                   deploying the Debian package needs
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
if [ "${1:-}" = package ]; then
  # CPack's DEB generator (dpkg-shlibdeps, file), the manual pages, the
  # package check, and Ansible with what its apt module needs.
  PKGS+=(dpkg-dev file help2man lintian ansible-core python3-apt)
fi
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
