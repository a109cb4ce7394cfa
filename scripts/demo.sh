#!/usr/bin/env bash
# The product at work, headless: builds both programs and the installation media (out/media), puts
# a simulated SAA7134 card (the capture-driver double) into a fresh private Wine prefix, runs the
# real setup.exe from the media (restart prompt answered "No"), waits for the installed applet to
# find the card and show its tray icon, and presses a short script of remote keys with the stand-in
# TV application as the target. The transcript (what was installed, each key and what the TV
# application received, with its latency) and the screenshots land in out/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
started=$(date +%s)
bash scripts/bootstrap.sh
mkdir -p build

echo "== building"
bash scripts/build.sh >build/demo-build.log 2>&1 || { cat build/demo-build.log; exit 1; }

echo "== fresh Wine prefix and virtual display"
export WINEPREFIX=$root/build/demo-prefix
rm -rf "$WINEPREFIX"
source scripts/wine-env.sh
trap wine_env_stop EXIT

e2e_build build/demo-build64.log
build=$E2E_BUILD

echo "== installation media"
bash testbed/media/build-media.sh out/media "$build"

out=$root/out/demo
rm -rf "$out" && mkdir -p "$out"
export SCREENSHOT_DIR=$out
echo "== the product on a simulated card (transcript and screenshots: out/demo/)"
status=0
# Wine programs inherit our descriptors: their output goes to a file, never through a pipe.
wine "$root/$build/e2e/demo/product_demo.exe" "$root/out/media" "$out" \
  "$root/$build/testbed/carddouble/tvcard_double.sys" "$root/$build/testbed/tvapp/tvapp.exe" \
  </dev/null >"$root/build/demo-wine.log" 2>&1 || status=$?

shopt -s nullglob
for bmp in "$out"/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"
done
if [ -f "$out/transcript.txt" ]; then cat "$out/transcript.txt"; else echo "demo: no transcript (see build/demo-wine.log)"; fi
shots=("$out"/*.png)
echo "demo took $(( $(date +%s) - started )) s; ${#shots[@]} screenshots in out/demo/"
exit $status
