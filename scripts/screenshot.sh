#!/bin/bash
# Remakes the pictures of the README and the user's guide (docs/window.png,
# window-done.png, window-firewall.png, window-retry.png) from the real
# program under Wine in a throwaway prefix (build/screenshot-prefix) with
# the stand-in services and the CJK font mapped as the tests map it. About
# two minutes: the retry prompt comes after ten automatic attempts.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target ZelvorTarnwick screenshot rdpsvc netsh_standin planted_netsh standin_setup \
  >/dev/null
build=$(pwd)/build/mingw
export ZV_WINEPREFIX=$(pwd)/build/screenshot-prefix
[ -d "$ZV_WINEPREFIX" ] || ZV_DECORATED=1 tests/wine/tools/run-wine-test.sh --prepare "$build" >/dev/null
mkdir -p docs
tests/wine/tools/run-wine-test.sh "$build" screenshot.exe "Z:$(pwd)/docs"
python3 scripts/png-compress.py docs/window.png docs/window-done.png docs/window-firewall.png docs/window-retry.png
ls -l docs/window*.png
