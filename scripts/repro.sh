#!/usr/bin/env bash
# Checks that the shipped programs are reproducible: one source gives the same bytes. Builds
# Ravlet.exe and setup.exe a second time, from a copy of this tree in another folder and in a
# build folder of their own, and compares both byte for byte with those of build/win32 (made by
# scripts/build.sh; built first when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/bootstrap.sh

first=build/win32/shipped
programs=(applet/win32/Ravlet.exe setup/win32/setup.exe)
if [ ! -f "$first/${programs[0]}" ] || [ ! -f "$first/${programs[1]}" ]; then
  mkdir -p build
  bash scripts/build.sh >build/win32-build.log 2>&1 || { cat build/win32-build.log; exit 1; }
fi

work=$root/build/repro
rm -rf "$work"
mkdir -p "$work/src"
tar -C "$root" --exclude=./build --exclude=./out --exclude=./.git -cf - . | tar -C "$work/src" -xf -
cmake -S "$work/src" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$work/src/cmake/mingw-i686.cmake" \
  -DMINGW_THREADS=win32 -DCMAKE_BUILD_TYPE=MinSizeRel -DTVCARD_SHIPPED_ONLY=ON >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" -j2 >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }

status=0
for p in "${programs[@]}"; do
  a=$first/$p
  b=$work/build/$p
  if cmp -s "$a" "$b"; then
    echo "same bytes: $(basename "$p") $(stat -c %s "$a") bytes, sha256 $(sha256sum "$a" | cut -c1-16)..."
  else
    echo "FAIL: $(basename "$p") differs between $a and $b:"
    { cmp "$a" "$b" || true; } | head -n 1
    { cmp -l "$a" "$b" || true; } | wc -l | sed 's/^/  bytes that differ: /'
    status=1
  fi
done
exit $status
