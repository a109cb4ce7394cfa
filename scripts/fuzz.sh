#!/usr/bin/env bash
# Fuzzes the portable logic with libFuzzer (clang, ASan + UBSan) on the fakes of the unit tests:
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# Runs each target (profile, poll, picture, install, startup; all by default) for SECONDS (default
# 20), two at a time, starting from its seed corpus in tests/fuzz/corpus/<target>/. What a run learns
# stays in build/unit/fuzz-work/<target>/ for the next run. A crash, a sanitizer report, a hang or a broken
# invariant fails the run; its input is copied into tests/fuzz/corpus/<target>/, where the unit
# tests (fuzz_replay) replay it: fix the fault, then commit the input with the fix.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift $(( $# > 0 ? 1 : 0 ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(profile poll picture install startup)
bash scripts/bootstrap.sh

bash scripts/unit-build.sh

run() {  # run TARGET: one bounded run; its summary line goes to work/TARGET/summary
  local t=$1 work=build/unit/fuzz-work/$1
  mkdir -p "$work/corpus" "$work/findings"
  rm -f "$work"/findings/*
  local rc=0
  # -timeout: one input running 10 s is a hang; -rss_limit_mb: a leak or a runaway allocation.
  build/unit/tests/fuzz/fuzz_"$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$work/findings/" "$work/corpus" "tests/fuzz/corpus/$t" \
    >"$work/log" 2>&1 || rc=$?
  local runs speed
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log")
  if [ $rc -eq 0 ]; then
    echo "fuzz $t: ok, ${runs:-?} runs in $seconds s (${speed:-?}/s)" >"$work/summary"
  else
    echo "fuzz $t: FAILED (exit $rc) after ${runs:-?} runs; its input:" >"$work/summary"
    for f in "$work"/findings/*; do
      [ -f "$f" ] || continue
      cp "$f" "tests/fuzz/corpus/$t/"
      echo "  tests/fuzz/corpus/$t/$(basename "$f")" >>"$work/summary"
    done
    grep -E -A30 'broken invariant|ERROR: |runtime error' "$work/log" | grep -v '^    #' | head -40 >>"$work/summary" || true
  fi
  return $rc
}

# Two at a time: this machine has two cores.
status=0
pids=()
for t in "${targets[@]}"; do
  [ -x "build/unit/tests/fuzz/fuzz_$t" ] || { echo "fuzz: no target $t" >&2; exit 2; }
  run "$t" &
  pids+=($!)
  if [ ${#pids[@]} -eq 2 ]; then
    for p in "${pids[@]}"; do wait "$p" || status=1; done
    pids=()
  fi
done
for p in "${pids[@]}"; do wait "$p" || status=1; done
for t in "${targets[@]}"; do cat "build/unit/fuzz-work/$t/summary"; done
[ $status -eq 0 ] || echo "fuzz: findings copied into tests/fuzz/corpus/; the unit test fuzz_replay replays them" >&2
exit $status
