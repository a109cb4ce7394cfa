#!/usr/bin/env bash
# Runs every test: the native unit tests, a short fuzzing run (FUZZ_SECONDS per target, default 12),
# the checks of the shipped 32-bit programs (their images, that Windows XP loads them, that a second
# build gives the same bytes), and the end-to-end tests of the real programs under Wine (headless,
# in a private prefix).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
started=$(date +%s)
bash scripts/bootstrap.sh

echo "== unit tests (native, clang, ASan + UBSan)"
bash scripts/unit-build.sh
(cd build/unit && ctest -j2 --output-on-failure --timeout 120)

echo "== fuzzing (libFuzzer, ASan + UBSan, ${FUZZ_SECONDS:-12} s per target)"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-12}"

echo "== the shipped programs (i686)"
bash scripts/build.sh >build/win32-build.log 2>&1 || { cat build/win32-build.log; exit 1; }
(cd build/win32 && ctest -L host --output-on-failure --timeout 120)
# A second build from a copy of the tree gives the same bytes.
bash scripts/repro.sh

echo "== end-to-end tests under Wine"
source scripts/wine-env.sh
trap wine_env_stop EXIT
e2e_build build/win64-build.log
e2e=$E2E_BUILD
export SCREENSHOT_DIR=$root/build/screenshots
rm -rf "$SCREENSHOT_DIR" && mkdir -p "$SCREENSHOT_DIR"
status=0
(cd "$e2e" && ctest -LE host --output-on-failure --timeout 600) || status=$?

# Keep the newest screenshots, as PNG, where a person can look at them.
shopt -s nullglob
shots=("$SCREENSHOT_DIR"/*.bmp)
if [ ${#shots[@]} -gt 0 ]; then
  mkdir -p screenshots
  for bmp in "${shots[@]}"; do
    # No time stamps in the PNG, so that an unchanged window gives an unchanged file.
    convert "$bmp" -define png:exclude-chunks=date,time "screenshots/$(basename "${bmp%.bmp}").png"
  done
fi
echo "test command took $(( $(date +%s) - started )) s"
exit $status
