#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need. Quiet and quick when all is there.
set -euo pipefail

# wine32 runs the 32-bit programs where the kernel runs 32-bit Linux binaries; where it does not
# (ia32 emulation off), the end-to-end tests run a 64-bit build of the same sources under wine64.
# clang-14, libclang-rt-14-dev (libFuzzer) and llvm-14 (llvm-symbolizer) build and run the fuzz targets.
# The shipped programs use the compilers' win32 thread model (a runtime that Windows XP loads), the
# test programs the posix one (std::thread). zlib1g-dev: the unit tests compress their test pictures
# with zlib and check the applet's own inflater against it.
packages=(cmake g++ make libgtest-dev googletest zlib1g-dev clang-14 libclang-rt-14-dev llvm-14
          g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32 mingw-w64-i686-dev binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 fonts-wine xvfb xauth imagemagick xdotool x11-utils bc)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "bootstrap: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
