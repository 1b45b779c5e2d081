#!/bin/bash
# The loopback probe sends SIO_TCP_INITIAL_RTO's "no SYN retransmissions"
# only where Windows reads it as meant (Windows 10 build 16299 and later).
# probe_version_check.exe runs under three versions that Wine reports per
# program; Wine's winsock trace shows whether the option's WSAIoctl
# (_WSAIOW(IOC_VENDOR, 17)) was made. Wine does not implement that ioctl,
# so the probe's results are the same either way and checked there.
#   probe-versions-test.sh BUILD
set -u
build=$1
runner=$(dirname "$0")/run-wine-test.sh
trace=$build/artifacts/probe-versions
mkdir -p "$trace"
failed=0
# Wine's name, the version it reports, whether the option is expected.
while read -r winver version expect; do
  log=$trace/$winver.trace
  ZV_WINVER=$winver ZV_WINEDEBUG=+winsock "$runner" "$build" probe_version_check.exe "$version" 2>"$log"
  rc=$?
  ioctls=$(grep -c '_WSAIOW(IOC_VENDOR, 17)' "$log")
  traced=$(grep -c ':winsock:' "$log")
  verdict=PASS
  if [ $rc != 0 ]; then
    verdict=FAIL; echo "  probe_version_check failed under $winver"
  elif [ "$traced" = 0 ]; then
    verdict=FAIL; echo "  no winsock trace under $winver: the check would prove nothing"
  elif [ "$expect" = yes ] && [ "$ioctls" = 0 ]; then
    verdict=FAIL; echo "  $winver ($version): the option was not sent"
  elif [ "$expect" = no ] && [ "$ioctls" != 0 ]; then
    verdict=FAIL; echo "  $winver ($version): the option was sent ($ioctls lines)"
  fi
  echo "$verdict $winver: Windows $version, option sent: $([ "$ioctls" = 0 ] && echo no || echo yes) (expected $expect)"
  [ $verdict = PASS ] || failed=$((failed + 1))
done <<'TABLE'
win7 6.1 no
win81 6.3 no
win10 10.0 yes
TABLE
exit $((failed > 0))
