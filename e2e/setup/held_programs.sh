#!/usr/bin/env bash
# Runs the two phases of setup_held_programs_e2e with a restart of the Wine session between them:
# `wineserver -k` ends every program of the prefix, and the next `wine wineboot` carries out the
# renames that MoveFileEx scheduled for the restart, as Windows' session manager does at boot.
# Needs the environment of scripts/wine-env.sh (prefix, display, wine and wineserver on PATH).
set -u
exe=$1
status=0
wine "$exe" --gtest_filter=HeldPrograms.BeforeTheRestart </dev/null || status=1

echo "== restart of the Wine session"
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
# As scripts/wine-env.sh starts a session: one server for the rest of the tests, no applet started
# by the Run key in the middle of one, the prefix's background programs detached from our streams.
wineserver -p </dev/null >/dev/null 2>&1 || true
wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v 'TV Card Remote Control Device Monitor' /f \
  </dev/null >/dev/null 2>&1 || true
wine wineboot </dev/null >/dev/null 2>&1 || true

# Also after a failed first phase: it puts the prefix back in order.
wine "$exe" --gtest_filter=HeldPrograms.AfterTheRestart </dev/null || status=1
exit $status
