#!/bin/bash
# Builds the program and runs it under Wine in a throwaway prefix
# (build/demo-prefix) with the stand-in Remote Desktop services and netsh,
# so that the whole change can be tried by hand: type a port, press
# 确认修改, watch the status line, answer the boxes.
#
# With DISPLAY set, the window shows there. Without one (a server, a
# container), the program runs on a virtual display (Xvfb) that is served
# to a browser: x11vnc on that display and noVNC through websockify. The
# script prints the one address to open. Everything listens on 127.0.0.1
# only, so no password is asked for; from another machine, forward the port
# (ssh -L 6080:127.0.0.1:6080 ...).
#
# It runs until the program is closed or until Ctrl+C, then ends every
# process it started, by its process id, and exits with the program's exit
# code, or with 130 after Ctrl+C (143 after a TERM), as shells do. What
# Wine and the servers print goes to build/demo-logs.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh --with-vnc
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target ZelvorTarnwick rdpsvc netsh_standin planted_netsh standin_setup

build=$(pwd)/build/mingw
# ZV_DEMO_PREFIX: another throwaway prefix (the browser test uses its own).
export ZV_WINEPREFIX=${ZV_DEMO_PREFIX:-$(pwd)/build/demo-prefix}
if [ ! -d "$ZV_WINEPREFIX" ]; then
  echo "preparing $ZV_WINEPREFIX"
  ZV_DECORATED=1 tests/wine/tools/run-wine-test.sh --prepare "$build"
fi

if [ -n "${DISPLAY:-}" ]; then
  exec tests/wine/tools/run-wine-test.sh --demo "$build"
fi

logs=$(pwd)/build/demo-logs
mkdir -p "$logs"
pids=()
cleanup() {
  trap - EXIT INT TERM
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  WINEPREFIX=$ZV_WINEPREFIX /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX=$ZV_WINEPREFIX /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
}
trap cleanup EXIT
# Ctrl+C reaches the virtual display too, and the program then loses it;
# the signal, not the program's end, is what the person did.
stopped_by=
trap 'stopped_by=INT' INT
trap 'stopped_by=TERM' TERM

listening() { [ -n "$(ss -Hltn "sport = :$1")" ]; }
await() { # what, seconds, test...
  local what=$1 tries=$(($2 * 10))
  shift 2
  until "$@"; do
    tries=$((tries - 1))
    [ $tries -gt 0 ] || { echo "run.sh: $what did not come up (see $logs)"; exit 1; }
    sleep 0.1
  done
}

# A display, the VNC port beside it and a web port that are all free.
display=90
while [ -e /tmp/.X$display-lock ] || [ -e /tmp/.X11-unix/X$display ] || listening $((5900 + display)); do
  display=$((display + 1))
done
vnc_port=$((5900 + display))
web_port=6080
while listening $web_port; do
  web_port=$((web_port + 1))
done

Xvfb :$display -screen 0 1024x768x24 -nolisten tcp >"$logs/xvfb.log" 2>&1 &
pids+=($!)
await "Xvfb :$display" 10 test -S /tmp/.X11-unix/X$display
export DISPLAY=:$display

x11vnc -display :$display -rfbport $vnc_port -localhost -nopw -forever -shared -noxdamage \
  >"$logs/x11vnc.log" 2>&1 &
pids+=($!)
await "x11vnc on port $vnc_port" 20 listening $vnc_port

websockify --web /usr/share/novnc 127.0.0.1:$web_port 127.0.0.1:$vnc_port >"$logs/websockify.log" 2>&1 &
pids+=($!)
await "websockify on port $web_port" 20 listening $web_port

echo "Open http://127.0.0.1:$web_port/vnc.html?autoconnect=1&resize=scale in a browser (Ctrl+C ends it)"
# In the background, so that Ctrl+C or a TERM reaches the trap at once.
tests/wine/tools/run-wine-test.sh --demo "$build" >"$logs/wine.log" 2>&1 &
demo=$!
pids+=($demo)
set +e
wait $demo
rc=$?
set -e
case "$stopped_by" in
  INT) echo "run.sh: stopped by Ctrl+C; every process it started has ended (Wine's messages: $logs/wine.log)"
       exit 130 ;;
  TERM) echo "run.sh: stopped by a TERM signal; every process it started has ended"
        exit 143 ;;
esac
echo "the program ended with exit code $rc"
exit $rc
