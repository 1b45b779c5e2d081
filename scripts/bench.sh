#!/bin/bash
# Benchmark under Wine with the stand-ins (a table of P1 to P5 with their
# baselines, medians of several runs measured in one run). Not a test.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target ZelvorTarnwick bench minimal_window rdpsvc netsh_standin planted_netsh standin_setup >/dev/null
build=$(pwd)/build/mingw
export ZV_WINEPREFIX=$(pwd)/build/bench-prefix
[ -d "$ZV_WINEPREFIX" ] || tests/wine/tools/run-wine-test.sh --prepare "$build" >/dev/null
echo "Benchmark, $(date -u +%Y-%m-%d), $(nproc) cores, $(wine64 --version 2>/dev/null || /usr/lib/wine/wine64 --version)"
tests/wine/tools/run-wine-test.sh "$build" bench.exe

exe=$build/ZelvorTarnwick.exe
size=$(stat -c %s "$exe")
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
rsrc=$((16#$(x86_64-w64-mingw32-objdump -h "$exe" | awk '$2 == ".rsrc" { print $3 }')))
printf '| P4 stripped executable | %d KB | of which resources %d KB | imports: %s| at most 400 KB, system DLLs only |\n' \
  $((size / 1024)) $((rsrc / 1024)) "$dlls"
