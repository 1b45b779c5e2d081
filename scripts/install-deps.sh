#!/bin/bash
# Installs what the build and the tests need from Debian's packages, once.
set -eu
packages=(cmake ninja-build g++ libgtest-dev g++-mingw-w64-x86-64-posix wine64 xvfb xauth
          fonts-wqy-microhei python3 iproute2 clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
