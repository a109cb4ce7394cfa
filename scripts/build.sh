#!/usr/bin/env bash
# Cross-compiles the Windows programs and the stand-ins into build/win32 and copies the
# deliverables (Ravlet.exe, setup.exe) into out/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/win32 -j2
mkdir -p out
cp build/win32/applet/win32/Ravlet.exe build/win32/setup/win32/setup.exe out/
