#!/bin/sh
# Checks that Windows XP SP3 loads a program: every function it imports exists there, the image
# asks for no newer subsystem, and its manifest holds nothing that XP's side-by-side parser refuses.
#   check_xp.sh OBJDUMP CC PROGRAM
# The oracle for the imports is MinGW-w64's own headers: they declare a function only for the
# Windows versions that have it, so a C file that takes the address of every imported function,
# compiled for XP SP3, fails on exactly the newer ones.
objdump=$1
cc=$2
program=$3
export LC_ALL=C
dump=$("$objdump" -p "$program") || { echo "cannot read $program"; exit 1; }
fail=0

# DLL!function, one a line; ordinal-only imports have no name to judge and are refused.
imports=$(echo "$dump" | awk '
  /^\tDLL Name: / { dll = $3; next }
  dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+/ { print dll "!" $3; next }
  dll != "" && /^\t[0-9a-f]+\t/ { print dll "!<ordinal>"; next }
  /^$/ { dll = "" }')
[ -n "$imports" ] || { echo "FAIL: no imports found"; exit 1; }
if echo "$imports" | grep -q '!<ordinal>$'; then
  echo "FAIL: imports by ordinal:" $(echo "$imports" | grep '!<ordinal>$' | cut -d'!' -f1 | sort -u)
  fail=1
fi

# Entry points of msvcrt.dll that only MinGW's start-up code calls and no public header declares;
# every msvcrt.dll since Windows NT 4 exports them.
startup=" __getmainargs __wgetmainargs __initenv __winitenv __p__commode __set_app_type __setusermatherr _amsg_exit _initterm "

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
{
  printf '#include <windows.h>\n#include <shellapi.h>\n#include <setupapi.h>\n#include <objbase.h>\n'
  printf '#include <commctrl.h>\n#include <stdio.h>\n#include <stdlib.h>\n#include <string.h>\n'
  printf '#include <wchar.h>\n#include <ctype.h>\n#include <locale.h>\n#include <signal.h>\n'
  printf '#include <setjmp.h>\n#include <process.h>\n#include <io.h>\n#include <errno.h>\n'
  printf 'void probe(void) {\n'
  for name in $(echo "$imports" | grep -v '!<ordinal>$' | cut -d'!' -f2 | sort -u); do
    case $startup in *" $name "*) continue ;; esac
    # A name the headers define as a macro (data such as __mb_cur_max) is used as they define it.
    printf '#ifdef %s\n  (void)(%s);\n#else\n  (void)&%s;\n#endif\n' "$name" "$name" "$name"
  done
  printf '}\n'
} >"$work/probe.c"
"$cc" -fsyntax-only -w -fmax-errors=0 -D_WIN32_WINNT=0x0501 -DWINVER=0x0501 -DNTDDI_VERSION=0x05010300 \
  -D_WIN32_IE=0x0603 -D__MSVCRT_VERSION__=0x0700 "$work/probe.c" >"$work/cc.log" 2>&1
newer=$(sed -n "s/.*error: '\([^']*\)' undeclared.*/\1/p" "$work/cc.log" | sort -u)
for name in $newer; do
  echo "FAIL: imports $(echo "$imports" | grep "!$name\$" | head -n 1), which the headers do not declare for Windows XP SP3"
  fail=1
done
if [ -z "$newer" ] && grep -q 'error:' "$work/cc.log"; then
  echo "FAIL: the import probe does not compile:"
  cat "$work/cc.log"
  fail=1
fi

# XP's loader refuses an image made for a newer subsystem.
major=$(echo "$dump" | awk '/^MajorSubsystemVersion/ { print $2 }')
minor=$(echo "$dump" | awk '/^MinorSubsystemVersion/ { print $2 }')
if [ -z "$major" ] || [ $((major * 100 + minor)) -gt 501 ]; then
  echo "FAIL: subsystem version $major.$minor is newer than XP's 5.1"
  fail=1
fi

# The embedded manifest (stored as plain UTF-8 text). XP does not know trustInfo or compatibility:
# it skips them when they are in a namespace of their own, but refuses the program ("the
# application configuration is incorrect") when they sit in the assembly's asm.v1 namespace.
# XP SP2 without KB921337 restarts the machine on an element that declares one namespace twice.
manifest=$(sed -n '/<assembly/,/<\/assembly>/p' "$program" | tr -d '\000')
if [ -z "$manifest" ]; then
  echo "FAIL: no manifest found"
  fail=1
fi
check_namespace() {  # element namespace...
  element=$1
  shift
  echo "$manifest" | grep -oE "<$element([[:space:]][^>]*)?>" | while read -r tag; do
    ok=0
    for ns in "$@"; do
      case $tag in *"xmlns=\"$ns\""*) ok=1 ;; esac
    done
    [ $ok -eq 1 ] || echo "FAIL: manifest element $tag is not in its own namespace ($*)"
  done
}
problems=$( (check_namespace trustInfo urn:schemas-microsoft-com:asm.v2 urn:schemas-microsoft-com:asm.v3
             check_namespace compatibility urn:schemas-microsoft-com:compatibility.v1
             # The DPI setting sits in an application element of the asm.v3 namespace, which XP
             # skips; it must not be the compatibility section's application (or an asm.v1 one).
             echo "$manifest" | grep -o '<[^>]*>' | awk '
               /^<application[[:space:]>]/ { v3 = ($0 ~ /xmlns="urn:schemas-microsoft-com:asm.v3"/) }
               /^<\/application>/ { v3 = 0 }
               /^<windowsSettings[[:space:]>]/ && !v3 {
                 print "FAIL: manifest element <windowsSettings> is not in an application element of urn:schemas-microsoft-com:asm.v3" }'
             echo "$manifest" | grep -o '<[^>]*>' | while read -r tag; do
               dup=$(echo "$tag" | grep -o 'xmlns[^=]*="[^"]*"' | sed 's/^[^=]*=//' | sort | uniq -d)
               [ -z "$dup" ] || echo "FAIL: manifest element declares $dup twice: $tag"
             done) )
if [ -n "$problems" ]; then
  echo "$problems"
  fail=1
fi

count=$(echo "$imports" | wc -l)
[ $fail -eq 0 ] && echo "ok: loads on Windows XP SP3: $count imports, all there since XP; subsystem $major.$minor; manifest accepted"
exit $fail
