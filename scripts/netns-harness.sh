#!/bin/bash
# Runs a command on the tool's side of a small network of its own, so that
# discovery traffic (multicast, raw Ethernet) never touches the machine's
# real interfaces:
#
#   namespace TOOL                       namespace CARDS
#     vtool  10.77.0.1/16  <-- veth -->    vcard  10.77.0.2/16
#     vtool2 10.78.0.1/16  <-- veth -->    vcard2 10.78.0.2/16
#
# The command runs inside TOOL with these variables set:
#   NETQUILL_NETNS_TOOL, NETQUILL_NETNS_CARDS   the two namespace names
#   NETQUILL_NETNS_TOOL_IF, NETQUILL_NETNS_CARD_IF    vtool, vcard
#   NETQUILL_NETNS_TOOL_IF2, NETQUILL_NETNS_CARD_IF2  vtool2, vcard2
# Simulated cards go into CARDS with
#   ip netns exec "$NETQUILL_NETNS_CARDS" netquill-discoverysim --interface vcard ...
# Both namespaces (with every process left in them) are removed when the
# command ends, fails or is interrupted.
#
# Needs root (ip netns). Without it the script exits with 77, which CTest
# reports as skipped.
#
# Usage: scripts/netns-harness.sh COMMAND [ARGS...]
# Example (look at the search page under an X server started outside):
#   scripts/netns-harness.sh sh -c 'ip netns exec "$NETQUILL_NETNS_CARDS" \
#       build/bin/netquill-discoverysim --interface vcard --cards 20 --address 10.77.1.1 \
#       --assign-addresses & DISPLAY=:99 QT_QPA_PLATFORM=xcb build/bin/netquill'
set -uo pipefail

skip() {
  echo "SKIP: $*; the network-namespace tests need root and ip netns" >&2
  exit 77
}

[ $# -ge 1 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || skip "not running as root"
command -v ip >/dev/null 2>&1 || skip "ip (iproute2) is not installed"

TOOL_NS="nqtool$$"
CARDS_NS="nqcards$$"

cleanup() {
  local ns pids
  for ns in "$TOOL_NS" "$CARDS_NS"; do
    if ip netns list 2>/dev/null | grep -qw "$ns"; then
      # Only processes inside our own namespaces: what the command started.
      pids=$(ip netns pids "$ns" 2>/dev/null)
      [ -n "$pids" ] && kill $pids 2>/dev/null
      for _ in $(seq 1 20); do
        [ -z "$(ip netns pids "$ns" 2>/dev/null)" ] && break
        sleep 0.1
      done
      pids=$(ip netns pids "$ns" 2>/dev/null)
      [ -n "$pids" ] && kill -9 $pids 2>/dev/null
      ip netns del "$ns" 2>/dev/null
    fi
  done
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

ip netns add "$TOOL_NS" 2>/dev/null || skip "cannot create a network namespace"
ip netns add "$CARDS_NS" || exit 1

setup() {
  ip link add vtool netns "$TOOL_NS" type veth peer name vcard netns "$CARDS_NS" &&
  ip link add vtool2 netns "$TOOL_NS" type veth peer name vcard2 netns "$CARDS_NS" &&
  ip -n "$TOOL_NS" addr add 10.77.0.1/16 dev vtool &&
  ip -n "$CARDS_NS" addr add 10.77.0.2/16 dev vcard &&
  ip -n "$TOOL_NS" addr add 10.78.0.1/16 dev vtool2 &&
  ip -n "$CARDS_NS" addr add 10.78.0.2/16 dev vcard2 &&
  for ns in "$TOOL_NS" "$CARDS_NS"; do
    ip -n "$ns" link set lo up || return 1
    # Cards with addresses outside the tool's subnet must still be heard.
    ip netns exec "$ns" sysctl -q -w net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0 >/dev/null || true
  done &&
  ip -n "$TOOL_NS" link set vtool up && ip -n "$TOOL_NS" link set vtool2 up &&
  ip -n "$CARDS_NS" link set vcard up && ip -n "$CARDS_NS" link set vcard2 up
}
setup || { echo "netns-harness: setting up the namespaces failed" >&2; exit 1; }

# A veth end reports running only once both ends are up.
for _ in $(seq 1 50); do
  if [ "$(ip netns exec "$TOOL_NS" cat /sys/class/net/vtool/operstate)" = up ] &&
     [ "$(ip netns exec "$TOOL_NS" cat /sys/class/net/vtool2/operstate)" = up ] &&
     [ "$(ip netns exec "$CARDS_NS" cat /sys/class/net/vcard/operstate)" = up ] &&
     [ "$(ip netns exec "$CARDS_NS" cat /sys/class/net/vcard2/operstate)" = up ]; then
    break
  fi
  sleep 0.1
done

ip netns exec "$TOOL_NS" env \
  NETQUILL_NETNS_TOOL="$TOOL_NS" NETQUILL_NETNS_CARDS="$CARDS_NS" \
  NETQUILL_NETNS_TOOL_IF=vtool NETQUILL_NETNS_CARD_IF=vcard \
  NETQUILL_NETNS_TOOL_IF2=vtool2 NETQUILL_NETNS_CARD_IF2=vcard2 \
  "$@"
