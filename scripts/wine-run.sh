#!/bin/sh
# Runs one test program under Wine for ctest:  wine-run.sh LOADER PROGRAM [ARGUMENTS...]
# Its output reaches ctest through a file, not through ctest's pipe. Every Wine process inherits
# the Unix standard error of the one that started it: the launcher, the installers it starts and
# the desktop process that Wine starts on demand all would hold that pipe, and one that lingers
# after the test (a stand-in left running, a Wine process that hangs) would keep ctest waiting for
# the end of the output until the test's time-out, although the test itself had passed.
out=$(mktemp) || exit 1
"$@" </dev/null >"$out" 2>&1 &
pid=$!
wait "$pid"
status=$?
cat "$out"
rm -f "$out"
exit $status
