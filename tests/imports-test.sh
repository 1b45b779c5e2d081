#!/bin/bash
# The program's image, read from Linux with objdump:
# - it imports exactly the DLLs that Windows never takes from the program's
#   folder: known DLLs, and comctl32, which the manifest redirects to the
#   side-by-side store (iphlpapi is loaded at run time from the system
#   directory);
# - its load configuration is in the image's directory, and its
#   DependentLoadFlags are LOAD_LIBRARY_SEARCH_SYSTEM32 (0x800).
#   imports-test.sh OBJDUMP EXE
set -u
objdump=$1
exe=$2
status=0

expected="advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll ws2_32.dll"
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ' | sed 's/ $//')
echo "imports: $dlls"
if [ "$dlls" != "$expected" ]; then
  echo "expected exactly: $expected"
  status=1
fi

headers=$("$objdump" -p "$exe")
base=$(echo "$headers" | awk '$1 == "ImageBase" { print $2 }')
read -r rva size < <(echo "$headers" | awk '/Load Configuration Directory/ { print $3, $4 }')
if [ -z "${rva:-}" ] || [ $((16#$rva)) = 0 ]; then
  echo "no load configuration in the image's directory"
  exit 1
fi
# DependentLoadFlags: the 16-bit field at offset 0x4E of the record.
at=$((16#$base + 16#$rva + 0x4E))
bytes=$("$objdump" -s --start-address=$at --stop-address=$((at + 2)) "$exe" | awk 'NR > 4 && $1 ~ /^[0-9a-f]+$/ { print $2; exit }')
flags=$((16#${bytes:2:2}${bytes:0:2}))
printf 'load configuration: %d bytes at RVA 0x%s, DependentLoadFlags 0x%x\n' $((16#$size)) "$rva" $flags
if [ $((16#$size)) -lt $((0x4E + 2)) ]; then
  echo "the record is too short to hold DependentLoadFlags"
  status=1
fi
if [ $flags != $((0x800)) ]; then
  echo "DependentLoadFlags should be 0x800 (LOAD_LIBRARY_SEARCH_SYSTEM32)"
  status=1
fi
exit $status
