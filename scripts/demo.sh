#!/usr/bin/env bash
# Builds both programs and the installation media (out/media), then runs the real setup.exe from
# the media in a fresh private Wine prefix, headless: answers the restart prompt with "No" and
# prints what was installed (programs started in order, files, registry values).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/bootstrap.sh
mkdir -p build

echo "== building"
bash scripts/build.sh >build/demo-build.log 2>&1 || { cat build/demo-build.log; exit 1; }

echo "== fresh Wine prefix and virtual display"
export WINEPREFIX=$root/build/demo-prefix
rm -rf "$WINEPREFIX"
source scripts/wine-env.sh
trap wine_env_stop EXIT

build=build/win32
if [ "$E2E_ARCH" = win64 ]; then
  echo "(E2E_ARCH=win64: the demo runs the x86_64 build of the same sources under wine64)"
  build=build/win64
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$E2E_TOOLCHAIN" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build "$build" -j2 >build/demo-build64.log 2>&1 || { cat build/demo-build64.log; exit 1; }
fi

echo "== installation media"
bash testbed/media/build-media.sh out/media "$build"

echo "== running out/media/Setup/setup.exe"
report=$root/build/demo-report.txt
rm -f "$report"
media=$root/out/media
status=0
# Wine programs inherit our descriptors: their output goes to a file, never through a pipe.
(cd out/media/Setup &&
  wine "$root/$build/e2e/setup/setup_demo_driver.exe" "Z:${media//\//\\}" "Z:${report//\//\\}" \
    </dev/null >"$root/build/demo-wine.log" 2>&1) || status=$?
if [ -f "$report" ]; then cat "$report"; else echo "demo: no report (see build/demo-wine.log)"; fi
exit $status
