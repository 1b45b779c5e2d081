#!/bin/bash
# The released image's headers, read with parsers that are not ours:
# llvm-readobj for the headers, sections, relocations and load
# configuration, osslsigncode for the header checksum it computes itself.
#   headers-test.sh CLONE    (CLONE/dist/ZelvorTarnwick.exe, made by the release command)
set -u
clone=$1
exe=$clone/dist/ZelvorTarnwick.exe
[ -f "$exe" ] || { echo "no $exe"; exit 1; }
source "$(dirname "$0")/../check.sh"
has() { grep -qE -- "$2" <<<"$1"; }

headers=$(llvm-readobj --file-headers "$exe")
for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT TERMINAL_SERVER_AWARE; do
  check "DllCharacteristics has $flag" has "$headers" "IMAGE_DLL_CHARACTERISTICS_$flag \("
done
check "GUI subsystem" has "$headers" "Subsystem: IMAGE_SUBSYSTEM_WINDOWS_GUI \(0x2\)"
epoch=$(git -C "$clone" log -1 --format=%ct)
stamp=$(printf '0x%X' "$epoch")
check "TimeDateStamp is the commit's time, $epoch ($stamp)" has "$headers" "^  TimeDateStamp: .*\($stamp\)$"

sections=$(llvm-readobj --sections "$exe")
check "a .reloc section with data" awk '
  /Name: / { name = $2 } /RawDataSize: / && name == ".reloc" && $2 > 0 { found = 1 } END { exit !found }' <<<"$sections"
relocations=$(llvm-readobj --coff-basereloc "$exe" | grep -c "Type: DIR64")
check "base relocations present ($relocations DIR64 entries)" test "$relocations" -gt 0
writable_code=$(awk '
  /Name: / { name = $2; w = 0; x = 0 }
  /IMAGE_SCN_MEM_WRITE/ { w = 1 } /IMAGE_SCN_MEM_EXECUTE/ { x = 1 }
  /^  }/ { if (w && x) print name }' <<<"$sections")
check "no section both writable and executable${writable_code:+ (found: $writable_code)}" test -z "$writable_code"

config=$(llvm-readobj --coff-load-config "$exe")
directory_size=$(awk '/LoadConfigTableSize:/ { print $2 }' <<<"$headers")
record_size=$(awk '/^LoadConfig \[/ { on = 1 } on && /^  Size:/ { print $2; exit }' <<<"$config")
check "load configuration's directory size ($directory_size) is its own Size ($record_size)" \
  test -n "$record_size" -a "$directory_size" = "$record_size"
check "DependentLoadFlags 0x800" has "$config" "DependentLoadFlags: 0x800$"

# osslsigncode prints "PE checksum : X" when the stored sum is the one it
# computes, and both with a warning otherwise.
verify=$(osslsigncode verify -in "$exe" 2>&1)
stored=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '$1 == "CheckSum" { print toupper($2) }')
computed=$(sed -nE 's/^(Calculated )?PE checksum *: *([0-9A-Fa-f]+).*/\2/p' <<<"$verify" | tail -n 1)
check "header CheckSum $stored is the computed $computed" test -n "$stored" -a "$stored" = "$computed" -a "$stored" != 00000000
check "osslsigncode does not call the checksum invalid" bash -c '! grep -q "invalid PE checksum" <<<"$0"' "$verify"

summary release_headers
