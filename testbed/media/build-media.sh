#!/usr/bin/env bash
# Lays out a complete installation media tree from a win32 build:
#   build-media.sh OUT_DIR BUILD_DIR
# OUT_DIR is replaced when it holds an earlier media (it has a standin.ini) or is empty.
# Environment: RC_DAT  registry script with the key profiles (default: testbed/media/RC.dat)
#              STANDIN_INI  stand-in behaviour (default: testbed/media/standin.ini)
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 OUT_DIR BUILD_DIR" >&2
  exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$1
build=$(cd "$2" && pwd)
rc_dat=${RC_DAT:-$here/RC.dat}
standin_ini=${STANDIN_INI:-$here/standin.ini}

setup_exe=$build/setup/win32/setup.exe
standin=$build/testbed/installer/standin.exe
devmon=$build/testbed/devmon/devmon.exe
applet=$build/applet/win32/Ravlet.exe
for f in "$setup_exe" "$standin" "$devmon" "$applet" "$rc_dat" "$here/TSS.dat" "$standin_ini"; do
  [ -f "$f" ] || { echo "build-media: missing $f" >&2; exit 1; }
done

if [ -e "$out" ]; then
  if [ -f "$out/standin.ini" ] || [ -z "$(ls -A "$out")" ]; then
    rm -rf "$out"
  else
    echo "build-media: $out exists and is not a media tree; not replacing it" >&2
    exit 1
  fi
fi

put() {  # put SOURCE RELATIVE_DEST
  mkdir -p "$(dirname "$out/$2")"
  cp "$1" "$out/$2"
}

put "$setup_exe"        "Setup/setup.exe"
put "$standin"          "Tessly/Driver/Drivloom.exe"
put "$standin"          "Lumora/setup.exe"
put "$standin"          "Harlo/setup.exe"
put "$applet"           "Tessly/Utility/Pelkora.ex_"
put "$rc_dat"           "Tessly/Utility/RC.dat"
put "$here/TSS.dat"     "Tessly/Utility/TSS.dat"
put "$devmon"           "Tessly/Utility/Pelkwatch.ex_"
put "$applet"           "Harlo/BorrinUtility/Pelkora.ex_"
put "$rc_dat"           "Harlo/BorrinUtility/RC.dat"
# The Harlo line's copies carry a mark of their own (bytes after the image, which the loader
# ignores; one more value in the script), so that a test can tell which line was installed.
printf 'Harlo\\BorrinUtility' >>"$out/Harlo/BorrinUtility/Pelkora.ex_"
printf '[HKEY_CURRENT_USER\\SOFTWARE\\Orvane\\TV Card Remote Control Applet\\1.0]\r\n"Media"="Harlo\\\\BorrinUtility"\r\n\r\n' \
  >>"$out/Harlo/BorrinUtility/RC.dat"
put "$standin"          "WMF/wmfdist11.exe"
put "$standin"          "MP10/mp10setup.exe"
put "$standin"          "MP10/windowsmedia10-kb905592-x86-intl.exe"
put "$standin"          "Extra/Setup.exe"
put "$standin"          "MPEG4/wmpcdcs8.exe"
put "$standin"          "DirectX/dxsetup.exe"
put "$standin_ini"      "standin.ini"
echo "build-media: media in $out"
