#!/usr/bin/env bash
# The applet on the simulated card for a long run: keys at random moments, a removal and return of
# the card every minute, stale handles and the tray menu now and then; every key must be accounted
# for and the applet's handles, windows and working set must not grow. The test command runs the
# same test for a minute.   bash scripts/soak.sh [SECONDS]   (default 1800)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1800}
bash scripts/bootstrap.sh
mkdir -p build
bash scripts/build.sh >build/soak-build.log 2>&1 || { cat build/soak-build.log; exit 1; }
export WINEPREFIX=${WINEPREFIX:-$(pwd)/build/soak-prefix}
source scripts/wine-env.sh
trap wine_env_stop EXIT
e2e_build build/soak-build64.log
build=$E2E_BUILD
status=0
# Wine programs inherit our descriptors: their output goes to a file, never through a pipe.
SOAK_SECONDS=$seconds wine "$build/e2e/applet/card_e2e.exe" --gtest_filter='CardTest.Soak*' \
  </dev/null >build/soak.log 2>&1 || status=$?
grep -E '^\[ soak|OK \]|FAILED|Failure' build/soak.log || true
exit $status
