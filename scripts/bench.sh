#!/usr/bin/env bash
# Benchmarks of the applet on the capture-driver double, side by side in one run on the same Wine:
#   - key latency, from the double presenting a key to the stand-in TV application's WM_KEYDOWN,
#     over BENCH_PRESSES presses (default 200) at random moments of the poll period;
#   - the cost of idle polling, CPU seconds per minute of the applet with Wine's driver host,
#     wineserver and explorer (which answers the applet's tray calls), next to a bare program that
#     issues the same five requests on a 100 ms window timer, over BENCH_SECONDS (default 60);
#   - memory: private and resident bytes of both;
#   - the sizes of the two shipped programs.
# Writes build/bench/report.md (and prints it).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
presses=${BENCH_PRESSES:-200}
seconds=${BENCH_SECONDS:-60}
bash scripts/bootstrap.sh
mkdir -p build/bench
bash scripts/build.sh >build/bench/build.log 2>&1 || { cat build/bench/build.log; exit 1; }

export WINEPREFIX=$root/build/bench-prefix
source scripts/wine-env.sh
trap wine_env_stop EXIT
e2e_build build/bench/build64.log
build=$E2E_BUILD
bench=$root/$build/e2e/bench/bench.exe
sys=$root/$build/testbed/carddouble/tvcard_double.sys
ravlet=$root/$build/applet/win32/Ravlet.exe
log=$root/build/bench/wine.log
: >"$log"
# Wine programs inherit our descriptors: their output goes to a file, never through a pipe.
run() { wine "$@" </dev/null >>"$log" 2>&1; }

# The Linux processes of this prefix whose command line matches.
pids() {
  local p
  for p in $(pgrep -f "$1" || true); do
    grep -qz "^WINEPREFIX=$WINEPREFIX\$" "/proc/$p/environ" 2>/dev/null && echo "$p"
  done
}
ticks() {  # user + system clock ticks of the processes given
  local sum=0 p
  for p in "$@"; do sum=$((sum + $(awk '{print $14 + $15}' "/proc/$p/stat" 2>/dev/null || echo 0))); done
  echo $sum
}
private_kb() { awk '/^Private_(Clean|Dirty):/ {s += $2} END {print s}' "/proc/$1/smaps_rollup"; }
dirty_kb() { awk '/^Private_Dirty:/ {print $2}' "/proc/$1/smaps_rollup"; }
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }

# Runs the program matching $1 (started by the rest of the arguments) for $seconds of idle polling;
# sets cpu_<part> (CPU seconds per minute) and mem_private, mem_rss (kB).
measure() {
  local pattern=$1; shift
  ("$@" </dev/null >>"$log" 2>&1 &)
  run "$bench" opened "$sys"
  local program server device explorer
  program=$(pids "$pattern" | head -1)
  server=$(pids wineserver); device=$(pids winedevice.exe); explorer=$(pids explorer.exe)
  local t0p t0s t0d t0e
  t0p=$(ticks $program); t0s=$(ticks $server); t0d=$(ticks $device); t0e=$(ticks $explorer)
  sleep "$seconds"   # the measured interval itself
  local hz; hz=$(getconf CLK_TCK)
  cpu_program=$(echo "($(ticks $program) - $t0p) / $hz * 60 / $seconds" | bc -l)
  cpu_server=$(echo "($(ticks $server) - $t0s) / $hz * 60 / $seconds" | bc -l)
  cpu_device=$(echo "($(ticks $device) - $t0d) / $hz * 60 / $seconds" | bc -l)
  cpu_explorer=$(echo "($(ticks $explorer) - $t0e) / $hz * 60 / $seconds" | bc -l)
  cpu_total=$(echo "$cpu_program + $cpu_server + $cpu_device + $cpu_explorer" | bc -l)
  mem_private=$(private_kb "$program"); mem_dirty=$(dirty_kb "$program"); mem_rss=$(rss_kb "$program")
}

# The key profiles, as the setup installs them.
run regedit /s "Z:${root//\//\\}\\testbed\\media\\RC.dat"

echo "== key latency: $presses presses"
run "$bench" latency "$sys" "$ravlet" "$root/$build/testbed/tvapp/tvapp.exe" "$presses" "$root/build/bench/latency.txt"
lost=$(grep -c lost build/bench/latency.txt || true)
sorted=$(grep -v lost build/bench/latency.txt | sort -n || true)
count=$(echo "$sorted" | grep -c . || true)
pick() { echo "$sorted" | sed -n "$1p"; }
median=$(pick $(( (count + 1) / 2 ))); p99=$(pick $(( (count * 99 + 99) / 100 ))); max=$(pick "$count")

echo "== idle polling: the applet, $seconds s"
measure 'Ravlet\.exe' wine "$ravlet"
a_program=$cpu_program a_server=$cpu_server a_device=$cpu_device a_explorer=$cpu_explorer a_total=$cpu_total
a_private=$mem_private a_dirty=$mem_dirty a_rss=$mem_rss
run "$bench" close
echo "== idle polling: the bare program, $seconds s"
measure 'bare_poll\.exe' wine "$root/$build/e2e/bench/bare_poll.exe" "$(wine "$bench" path </dev/null 2>/dev/null | tr -d '\r')" $((seconds + 30))
b_program=$cpu_program b_server=$cpu_server b_device=$cpu_device b_explorer=$cpu_explorer b_total=$cpu_total
b_private=$mem_private b_dirty=$mem_dirty b_rss=$mem_rss
for p in $(pids 'bare_poll\.exe'); do kill "$p" 2>/dev/null || true; done

ratio() { echo "scale=2; $1 / $2" | bc -l; }
f() { printf '%.3f' "$1"; }
report=build/bench/report.md
{
  echo "# Benchmarks ($(date -u +%Y-%m-%d), $E2E_ARCH, $(wine --version 2>/dev/null), $(nproc) cores)"
  echo
  echo "Reproduce: \`BENCH_PRESSES=$presses BENCH_SECONDS=$seconds bash scripts/bench.sh\`"
  echo
  echo "## Key latency (double's press to the TV application's WM_KEYDOWN)"
  echo
  echo "| presses | delivered | lost | median ms | p99 ms | max ms |"
  echo "|---|---|---|---|---|---|"
  echo "| $presses | $count | $lost | $median | $p99 | $max |"
  echo
  echo "## Idle polling, CPU seconds per minute"
  echo
  echo "| | program | wineserver | driver host | explorer | total |"
  echo "|---|---|---|---|---|---|"
  echo "| applet | $(f $a_program) | $(f $a_server) | $(f $a_device) | $(f $a_explorer) | $(f $a_total) |"
  echo "| bare program | $(f $b_program) | $(f $b_server) | $(f $b_device) | $(f $b_explorer) | $(f $b_total) |"
  echo "| ratio | | | | | $(ratio $a_total $b_total) |"
  echo
  echo "## Memory of the program, kB"
  echo
  echo "Wine answers 0 for another process's private bytes; these are Linux's counts of the process:"
  echo "written private pages (the heaps, relocated DLL pages), all pages no other process maps"
  echo "(clean file pages of DLLs only it loads included), and the resident set."
  echo
  echo "| | private written | private | resident |"
  echo "|---|---|---|---|"
  echo "| applet | $a_dirty | $a_private | $a_rss |"
  echo "| bare program | $b_dirty | $b_private | $b_rss |"
  echo "| ratio | $(ratio $a_dirty $b_dirty) | $(ratio $a_private $b_private) | $(ratio $a_rss $b_rss) |"
  echo
  echo "## Shipped programs (i686, stripped)"
  echo
  echo "| program | bytes |"
  echo "|---|---|"
  echo "| Ravlet.exe | $(stat -c %s out/Ravlet.exe) |"
  echo "| setup.exe | $(stat -c %s out/setup.exe) |"
} >"$report"
cat "$report"
