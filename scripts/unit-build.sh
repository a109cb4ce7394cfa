#!/usr/bin/env bash
# Builds the portable logic's unit tests and its libFuzzer targets in one native build,
# build/unit (clang, ASan + UBSan): scripts/test.sh runs the tests, scripts/fuzz.sh the targets.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
cmake -S . -B build/unit -DFUZZ=ON -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/unit -j2 >build/unit-build.log 2>&1 || { cat build/unit-build.log; exit 1; }
