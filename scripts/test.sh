#!/bin/bash
# Builds everything and runs every test: the logic natively (plain, then
# under AddressSanitizer and UndefinedBehaviorSanitizer), a 30-second
# libFuzzer run over the port text, the Win32 code under Wine with the
# stand-ins, the release (built twice, its headers, its signature), the
# manual recovery of the documents, and the run command through a browser
# and stopped by Ctrl+C. Ends with one
# "N passed, N failed" line.
set -u
cd "$(dirname "$0")/.."
scripts/install-deps.sh --with-vnc --with-browser --with-release-tests || exit 1

total_pass=0
total_fail=0
status=0

# Runs one CTest preset and adds its counts to the totals.
run_preset() {
  local preset=$1
  shift
  echo "=== $preset: configure and build"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; } >"build/$preset-build.log" 2>&1; then
    cat "build/$preset-build.log"
    echo "=== $preset: build FAILED"
    total_fail=$((total_fail + 1))
    status=1
    return
  fi
  echo "=== $preset: tests"
  "$@" ctest --preset "$preset" </dev/null 2>&1 | tee "build/$preset-tests.log"
  local summary
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "build/$preset-tests.log" | tail -n 1)
  if [ -z "$summary" ]; then
    total_fail=$((total_fail + 1))
    status=1
    return
  fi
  local failed all
  failed=$(echo "$summary" | sed -E 's/.*passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
  all=$(echo "$summary" | sed -E 's/.*out of ([0-9]+).*/\1/')
  total_pass=$((total_pass + all - failed))
  total_fail=$((total_fail + failed))
  [ "$failed" = 0 ] || status=1
}

mkdir -p build
run_preset native
run_preset native-asan
run_preset fuzz
run_preset mingw xvfb-run -a -s "-screen 0 1280x1024x24"

echo "$total_pass passed, $total_fail failed"
exit $status
