#!/bin/bash
# Installs what the build and the tests need from Debian's packages, once.
#   install-deps.sh [--with-vnc] [--with-browser] [--with-release] [--with-release-tests]
# --with-vnc: the VNC server and noVNC with websockify, with which
#   scripts/run.sh shows the program in a browser on a machine without a
#   display. --with-browser: Chromium, for the browser test. --with-release:
#   git and osslsigncode, for the release command (scripts/release.sh).
#   --with-release-tests: also what its tests use (openssl, llvm-readobj,
#   diffoscope).
set -eu
packages=(cmake ninja-build g++ libgtest-dev g++-mingw-w64-x86-64-posix wine64 xvfb xauth
          fonts-wqy-microhei fonts-wine python3 iproute2 clang libclang-rt-14-dev)
for option in "$@"; do
  case "$option" in
    --with-vnc) packages+=(x11vnc novnc websockify) ;;
    --with-browser) packages+=(chromium) ;;
    --with-release) packages+=(git osslsigncode) ;;
    --with-release-tests) packages+=(git osslsigncode openssl llvm diffoscope-minimal) ;;
    *) echo "install-deps: unknown option $option"; exit 2 ;;
  esac
done
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
