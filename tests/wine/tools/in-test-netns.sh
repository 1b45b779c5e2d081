#!/bin/bash
# Runs a command in a network namespace of its own, made for this run and
# removed afterwards: loopback (127.0.0.1 and ::1) and one veth pair whose
# end zva holds 198.51.100.10/24 (TEST-NET-2, a documentation range that is
# never routed). The probes then have a non-loopback IPv4 address and IPv6
# on every machine; no packet leaves the namespace.
#   in-test-netns.sh COMMAND [ARGS...]
set -u
ns=zvtest-$$
cleanup() { ip netns del "$ns" 2>/dev/null; }
trap cleanup EXIT
if ! ip netns add "$ns"; then
  echo "in-test-netns: cannot make a network namespace (root and iproute2 needed)"
  exit 1
fi
ip netns exec "$ns" ip link set lo up &&
  ip netns exec "$ns" ip link add zva type veth peer name zvb &&
  ip netns exec "$ns" ip addr add 198.51.100.10/24 dev zva &&
  ip netns exec "$ns" ip link set zva up &&
  ip netns exec "$ns" ip link set zvb up || { echo "in-test-netns: cannot set up $ns"; exit 1; }
ip netns exec "$ns" "$@"
