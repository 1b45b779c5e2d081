#!/bin/bash
# One end-to-end scenario with Wine reporting another Windows version to the
# program, and Wine's traces as witnesses that the version reached it: the
# version Wine's ntdll gives the program's own process (channel ver), and
# SIO_TCP_INITIAL_RTO's WSAIoctl (channel winsock), which the loopback
# probe sends under Windows 10 only. The transcript must match as usual.
#   e2e-version-run.sh BUILD SCENARIO VERSION     (VERSION: win81 or win10)
set -u
build=$1
scenario=$2
version=$3
here=$(dirname "$0")
case "$version" in
  win81) expect_version=6.3; expect_ioctl=no ;;
  win10) expect_version=10.0; expect_ioctl=yes ;;
  *) echo "e2e-version-run: unknown version $version"; exit 2 ;;
esac
trace=$build/artifacts/e2e/$(basename "$scenario" .scenario)-$version.trace
mkdir -p "$(dirname "$trace")"
ZV_WINEDEBUG=+ver,+winsock "$here/run-wine-test.sh" "$build" ui_driver.exe "Z:$scenario" "$version" 2>"$trace"
rc=$?

# The program's process is the one whose version comes from its own
# AppDefaults key; its thread names the trace line with the version.
thread=$(grep -F 'version_init getting version from L"AppDefaults\\ZelvorTarnwick.exe"' "$trace" | head -n 1 | cut -d: -f1)
seen=
[ -n "$thread" ] && seen=$(grep "^$thread:trace:ver:version_init got " "$trace" | head -n 1 | sed -E 's/.* got ([0-9]+\.[0-9]+) .*/\1/')
ioctls=$(grep -c '_WSAIOW(IOC_VENDOR, 17)' "$trace")
status=$rc
echo "the program saw Windows ${seen:-(nothing traced)} (expected $expect_version)"
if [ "$seen" != "$expect_version" ]; then
  echo "FAILED: Wine's trace does not show Windows $expect_version reaching the program ($trace)"
  status=1
fi
sent=$([ "$ioctls" -gt 0 ] && echo yes || echo no)
echo "SIO_TCP_INITIAL_RTO sent: $sent ($ioctls lines; expected $expect_ioctl)"
if [ "$sent" != "$expect_ioctl" ]; then
  echo "FAILED: the probe's option under $version"
  status=1
fi
exit $status
