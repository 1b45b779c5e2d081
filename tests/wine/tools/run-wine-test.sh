#!/bin/bash
# Runs one Win32 test program under Wine, in the throwaway prefix of the
# build folder, with the stand-in Remote Desktop service and netsh.
#   run-wine-test.sh --prepare BUILD   create the prefix and install the stand-ins
#   run-wine-test.sh --demo BUILD      run the program itself, the stand-in services started
#   run-wine-test.sh BUILD PROGRAM.exe [ARGS...]
# Without a DISPLAY it runs itself under xvfb-run.
set -u

WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

mode=test
case "${1:-}" in
  --prepare) mode=prepare; shift ;;
  --demo) mode=demo; shift ;;
esac
build=$(cd "$1" && pwd)
shift

export WINEPREFIX="${ZV_WINEPREFIX:-$build/prefix}"
# ZV_WINEDEBUG: Wine's debug channels for this run (default none).
# ZV_DLLOVERRIDES: more load-order overrides, e.g. "iphlpapi=n,b".
# ZV_WINVER: the Windows version Wine reports to PROGRAM (win7, win81,
# win10; empty: the prefix's default, Windows 7).
# ZV_DECORATED (with --prepare): Wine draws the title bars itself.
export WINEDEBUG="${ZV_WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;netsh.exe=n${ZV_DLLOVERRIDES:+;$ZV_DLLOVERRIDES}"
export LC_ALL=C.UTF-8

# A service manager left from an earlier run may be going away; start clean.
stop_wine() {
  "$WINESERVER" -k >/dev/null 2>&1
  "$WINESERVER" -w >/dev/null 2>&1
}

if [ $mode = prepare ]; then
  stop_wine
  rm -rf "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed"; exit 1; }
  "$WINESERVER" -w
  mkdir -p "$WINEPREFIX/drive_c/zvtest"
  cp "$build/rdpsvc.exe" "$build/planted_netsh.exe" "$WINEPREFIX/drive_c/zvtest/"
  cp "$build/netsh_standin.exe" "$WINEPREFIX/drive_c/windows/system32/netsh.exe"
  # Wine draws its title bar buttons in Marlett (fonts-wine), which it does
  # not look for where Debian keeps it.
  if [ -n "${ZV_DECORATED:-}" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  "$WINE" "$build/standin_setup.exe" 'C:\zvtest\rdpsvc.exe' ${ZV_DECORATED:+--decorated}
  rc=$?
  stop_wine
  exit $rc
fi

if [ $mode = demo ]; then
  # The program keeps Wine's service manager alive; the services are started
  # once its window is up, as they would be running on a real server.
  stop_wine
  "$WINE" "$build/ZelvorTarnwick.exe" &
  app=$!
  sleep 3
  for svc in TermService UmRdpService SessionEnv; do
    "$WINE" sc start $svc >/dev/null 2>&1
  done
  wait $app
  rc=$?
  stop_wine
  exit $rc
fi

program=$1
shift
stop_wine
version_key="HKCU\\Software\\Wine\\AppDefaults\\$program"
if [ -n "${ZV_WINVER:-}" ]; then
  "$WINE" reg add "$version_key" /v Version /d "$ZV_WINVER" /f >/dev/null 2>&1
fi
timeout --kill-after=10 "${WINE_TEST_TIMEOUT:-600}" "$WINE" "$build/$program" "$@"
rc=$?
if [ -n "${ZV_WINVER:-}" ]; then
  "$WINE" reg delete "$version_key" /v Version /f >/dev/null 2>&1
fi
stop_wine
exit $rc
