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
# VERSION.dll and gdiplus.dll are not KnownDLLs on current Windows: imported, a file of that name
# beside the program would be loaded in their place, so they are loaded from the system folder at
# run time instead.
for dll in $imports; do
  case $dll in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|ole32.dll|setupapi.dll|comctl32.dll|msvcrt.dll) ;;
    version.dll|gdiplus.dll) echo "FAIL: imports $dll, which a file planted beside the program would replace"; fail=1 ;;
    *) echo "FAIL: imports $dll, which is not a system DLL"; fail=1 ;;
  esac
done
# Built without exceptions, the program keeps unwind tables only for the C runtime's start-up
# code. Tables far beyond that mean the exception runtime (or printf's formatting, which carries
# its own) was linked in after all: several times the program's own code.
eh_frame=$("$objdump" -h "$program" | awk '$2 == ".eh_frame" || $2 == ".eh_fram" { print $3 }')
eh_bytes=$((0x${eh_frame:-0}))
[ "$eh_bytes" -le 4096 ] ||
  { echo "FAIL: $eh_bytes bytes of unwind tables: the exception runtime or printf is linked in"; fail=1; }
[ $fail -eq 0 ] && echo "ok: PE32 i386 GUI program importing only:" $imports "($eh_bytes bytes of unwind tables)"
exit $fail
