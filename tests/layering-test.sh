#!/bin/bash
# Includes run one way only: shell -> workflow -> adapters -> common, and
# shell -> adapters. Lists every include that runs the other way.
#   layering-test.sh SOURCE_DIR
set -u
cd "$1" || exit 2
status=0
check() {
  local folder=$1 pattern=$2
  local hits
  hits=$(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]+\"[^\"]*($pattern)/" "$folder"/*.h "$folder"/*.cpp 2>/dev/null)
  if [ -n "$hits" ]; then
    echo "$folder includes upward:"
    echo "$hits"
    status=1
  fi
}
check common 'shell|workflow|adapters'
check adapters 'shell|workflow'
check workflow 'shell'
# The pure logic builds anywhere: no Windows header below the shell and the
# adapters' system calls.
hits=$(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]+<(windows|winsock2|ws2tcpip|iphlpapi|commctrl|shellapi)\.h>' \
  common/*.h common/*.cpp workflow/*.h workflow/*.cpp adapters/*.h adapters/netsh_text.cpp 2>/dev/null)
if [ -n "$hits" ]; then
  echo "Windows header in portable code:"
  echo "$hits"
  status=1
fi
[ $status = 0 ] && echo "layering: every include runs downward"
exit $status
