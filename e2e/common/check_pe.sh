#!/bin/sh
# Checks that a program is a 32-bit Windows GUI program for i386 whose imports are system DLLs only.
#   check_pe.sh OBJDUMP PROGRAM
objdump=$1
program=$2
dump=$("$objdump" -p "$program") || { echo "cannot read $program"; exit 1; }
fail=0
check() {
  echo "$dump" | grep -Eq "$1" || { echo "FAIL: $2"; fail=1; }
}
check 'file format pei-i386' 'not a PE image for i386'
check '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' 'not PE32'
check '^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)' 'not a GUI subsystem program'
imports=$(echo "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || { echo "FAIL: no imports found"; fail=1; }
for dll in $imports; do
  case $dll in
    kernel32.dll|user32.dll|gdi32.dll|gdiplus.dll|advapi32.dll|shell32.dll|ole32.dll|setupapi.dll|comctl32.dll|version.dll|msvcrt.dll) ;;
    *) echo "FAIL: imports $dll, which is not a system DLL"; fail=1 ;;
  esac
done
[ $fail -eq 0 ] && echo "ok: PE32 i386 GUI program importing only:" $imports
exit $fail
