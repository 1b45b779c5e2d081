#!/bin/bash
# The release: builds ZelvorTarnwick.exe from a clean build tree of its own
# (build/release) and writes dist/ZelvorTarnwick.exe, dist/SHA256SUMS and
# dist/BUILDINFO. The same commit gives the same bytes on every machine
# with the same Debian packages, whatever the path, time, TZ, LANG or umask.
#   release.sh [--pkcs12 FILE [--password-file FILE]]
# With --pkcs12 the executable is signed with Authenticode (SHA-256) by
# that certificate and key before its checksum is written.
set -eu
pkcs12=
password_file=
while [ $# -gt 0 ]; do
  case "$1" in
    --pkcs12) pkcs12=$(realpath "$2"); shift 2 ;;
    --password-file) password_file=$(realpath "$2"); shift 2 ;;
    *) echo "usage: release.sh [--pkcs12 FILE [--password-file FILE]]" >&2; exit 2 ;;
  esac
done
if [ -n "$password_file" ] && [ -z "$pkcs12" ]; then
  echo "release: --password-file needs --pkcs12" >&2
  exit 2
fi
cd "$(dirname "$0")/.."
scripts/install-deps.sh --with-release

commit=$(git rev-parse HEAD)
# A tree with changes that are not committed is not what the commit makes.
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release: warning: uncommitted changes; this build is not the commit's" >&2
  commit="$commit (with uncommitted changes)"
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct HEAD)}

build=build/release
rm -rf "$build" dist
mkdir -p build
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DZV_TIMESTAMP="$SOURCE_DATE_EPOCH" -DPython3_EXECUTABLE=/usr/bin/python3 >"$build.log" 2>&1 \
  || { cat "$build.log"; exit 1; }
cmake --build "$build" --target ZelvorTarnwick >>"$build.log" 2>&1 || { cat "$build.log"; exit 1; }

mkdir -p dist
cp "$build/ZelvorTarnwick.exe" dist/ZelvorTarnwick.exe
signed=no
if [ -n "$pkcs12" ]; then
  args=(sign -pkcs12 "$pkcs12" -h sha256 -n "Zelvor-Tarnwick" -in dist/ZelvorTarnwick.exe -out dist/signed.exe)
  [ -n "$password_file" ] && args+=(-readpass "$password_file")
  osslsigncode "${args[@]}" >"$build/sign.log" 2>&1 || { cat "$build/sign.log"; rm -f dist/signed.exe; exit 1; }
  mv dist/signed.exe dist/ZelvorTarnwick.exe
  signed="yes, Authenticode SHA-256"
fi
(cd dist && sha256sum ZelvorTarnwick.exe >SHA256SUMS)

# The flags as the build ran them, with $SRC for the tree's own path, and
# without the object files and the output's name.
root=$(pwd)
commands=$(ninja -C "$build" -t commands ZelvorTarnwick | sed "s|$root|\$SRC|g")
compile=$(echo "$commands" | grep -m1 -- ' -c \$SRC/shell/main.cpp' \
  | sed -E 's/ -MD -MT [^ ]+ -MF [^ ]+//; s/ -o [^ ]+ -c [^ ]+$//; s/^[^ ]+ //')
link=$(echo "$commands" | tail -n 1 | sed 's/ && /\n/g' | grep -m1 -- ' -o ZelvorTarnwick.exe' \
  | tr ' ' '\n' | grep -vE '\.(obj|res)$|^$' | tail -n +2 | tr '\n' ' ' | sed 's/ -o ZelvorTarnwick.exe / /; s/ $//')
post_link=$(echo "$commands" | tail -n 1 | sed 's/ && /\n/g' | grep -m1 pe-post-link.py)
version() { dpkg-query -W -f='${Package} ${Version}\n' "$1"; }
{
  echo "ZelvorTarnwick.exe"
  echo "commit: $commit"
  echo "source date: $SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC')), the image's TimeDateStamp"
  echo "signed: $signed"
  echo "sha256: $(cut -d' ' -f1 dist/SHA256SUMS)"
  echo "toolchain (Debian packages):"
  for p in g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix-runtime binutils-mingw-w64-x86-64 \
           mingw-w64-x86-64-dev mingw-w64-common cmake ninja-build python3 python3-minimal; do
    echo "  $(version "$p")"
  done
  echo "compile (each source): $compile"
  echo "link: $link"
  echo "after the link: $post_link"
} >dist/BUILDINFO
cat dist/SHA256SUMS
