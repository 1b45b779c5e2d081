#!/bin/bash
# The release command gives the same bytes from two fresh clones of HEAD at
# two different paths, built a few seconds apart under a different TZ, LANG
# and umask. On a difference it lists the differing offsets with the PE
# field or section they fall in (and diffoscope's view where it exists).
# Leaves the first clone's dist/ in WORK/a/src for the other release tests.
#   repro-test.sh SOURCE_DIR WORK_DIR
# It builds what is committed: changes not yet committed are not in it.
set -u
source_dir=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
"$source_dir/scripts/install-deps.sh" --with-release-tests || exit 1
rm -rf "$work"
a=$work/a/src
b=$work/b/a-longer/path/to/the/clone
for clone in "$a" "$b"; do
  git clone -q "$source_dir" "$clone" || exit 1
done

source "$(dirname "$0")/../check.sh"

release() { # release CLONE TZ LANG UMASK
  (cd "$1" && env -u LC_ALL -u SOURCE_DATE_EPOCH TZ="$2" LANG="$3" bash -c "umask $4 && bash scripts/release.sh" \
    >"$1.release.log" 2>&1) || { cat "$1.release.log"; return 1; }
}
check "release in $a (TZ=UTC, LANG=C.UTF-8, umask 022)" release "$a" UTC C.UTF-8 022
# Any wall-clock time that reaches the image now differs by seconds.
sleep 3
check "release in $b (TZ=Asia/Shanghai, LANG=zh_CN.UTF-8, umask 077)" release "$b" Asia/Shanghai zh_CN.UTF-8 077

for clone in "$a" "$b"; do
  check "$clone/dist has the executable, SHA256SUMS and BUILDINFO" \
    test -s "$clone/dist/ZelvorTarnwick.exe" -a -s "$clone/dist/SHA256SUMS" -a -s "$clone/dist/BUILDINFO"
  check "sha256sum -c accepts $clone/dist/SHA256SUMS" \
    bash -c "cd '$clone/dist' && sha256sum -c --strict SHA256SUMS"
done
commit=$(git -C "$source_dir" rev-parse HEAD)
check "BUILDINFO names commit $commit" grep -qx "commit: $commit" "$a/dist/BUILDINFO"
check "BUILDINFO names the MinGW-w64 compiler's package version" \
  grep -q "g++-mingw-w64-x86-64-posix $(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix)" "$a/dist/BUILDINFO"

hash_a=$(sha256sum <"$a/dist/ZelvorTarnwick.exe" | cut -d' ' -f1)
hash_b=$(sha256sum <"$b/dist/ZelvorTarnwick.exe" | cut -d' ' -f1)
echo "sha256 a: $hash_a"
echo "sha256 b: $hash_b"
same() { [ -f "$a/dist/ZelvorTarnwick.exe" ] && [ "$hash_a" = "$hash_b" ]; }
if ! check "both builds give the same bytes" same; then
  python3 "$here/pe-diff.py" "$a/dist/ZelvorTarnwick.exe" "$b/dist/ZelvorTarnwick.exe"
  if command -v diffoscope >/dev/null; then
    diffoscope --text - "$a/dist/ZelvorTarnwick.exe" "$b/dist/ZelvorTarnwick.exe" 2>/dev/null | head -n 60
  fi
fi
check "BUILDINFO is the same from both paths" cmp -s "$a/dist/BUILDINFO" "$b/dist/BUILDINFO"

summary release_repro
