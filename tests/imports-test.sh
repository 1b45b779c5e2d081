#!/bin/bash
# The program imports system DLLs only, so it needs no runtime beside it.
#   imports-test.sh OBJDUMP EXE
set -u
allowed=" advapi32.dll comctl32.dll gdi32.dll iphlpapi.dll kernel32.dll msvcrt.dll shell32.dll user32.dll ws2_32.dll "
dlls=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort)
echo "imports:" $dlls
[ -n "$dlls" ] || { echo "no imports found"; exit 1; }
status=0
for d in $dlls; do
  case "$allowed" in
    *" $d "*) ;;
    *) echo "not a system DLL: $d"; status=1 ;;
  esac
done
exit $status
