#!/bin/bash
# Builds the program and runs it under Wine in a throwaway prefix
# (build/demo-prefix) with the stand-in Remote Desktop services and netsh,
# so that the whole change can be tried by hand: type a port, press
# 确认修改, watch the status line, answer the boxes. Uses $DISPLAY when set,
# otherwise a virtual display (xvfb-run), where the window is not visible.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target ZelvorTarnwick rdpsvc netsh_standin planted_netsh standin_setup

build=$(pwd)/build/mingw
export ZV_WINEPREFIX=$(pwd)/build/demo-prefix
if [ ! -d "$ZV_WINEPREFIX" ]; then
  echo "preparing $ZV_WINEPREFIX"
  tests/wine/run-wine-test.sh --prepare "$build"
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "no DISPLAY: running on a virtual display; the window is not visible (Ctrl+C ends it)"
fi
exec tests/wine/run-wine-test.sh --demo "$build"
