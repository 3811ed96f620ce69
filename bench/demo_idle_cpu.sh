#!/bin/sh
# Measures the CPU share of the idling demo: starts bin/vyr on demo/demo.vyr
# without a display, lets it settle, and reads the process's user and system
# time (utime + stime of /proc/PID/stat) at the start and at the end of the
# stretch. The share is that CPU time over the wall time, in percent of one
# core; on a loaded machine it stays close to what the process itself used.
#
# Usage: bench/demo_idle_cpu.sh [seconds] [vyr options...]
#   seconds      length of the measured stretch (default 60)
#   vyr options  passed on, e.g. -nortclockx
# VYR_BUILD_DIR names the build folder (default build).
set -e
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
settle=5
vyr="$(cd "${VYR_BUILD_DIR:-build}" && pwd)/bin/vyr"
[ -x "$vyr" ] || { echo "demo_idle_cpu: no $vyr; build first" >&2; exit 1; }

# Field 14 and 15 of the stat line, counted after the command name, which is
# in parentheses and may hold spaces.
cpu_ticks() {
    sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

cd demo
QT_QPA_PLATFORM=offscreen "$vyr" -nodisclaimer -nosplash -start demo.vyr "$@" >/dev/null 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null' EXIT INT TERM
sleep "$settle"
kill -0 "$pid" 2>/dev/null || { echo "demo_idle_cpu: vyr ended before the measurement" >&2; exit 1; }

hz=$(getconf CLK_TCK)
start_ticks=$(cpu_ticks "$pid")
start_ns=$(date +%s%N)
sleep "$seconds"
end_ticks=$(cpu_ticks "$pid")
end_ns=$(date +%s%N)

awk -v t="$((end_ticks - start_ticks))" -v hz="$hz" -v ns="$((end_ns - start_ns))" -v opts="$*" 'BEGIN {
    cpu = t / hz; wall = ns / 1e9
    printf "demo%s: %.2f s CPU (utime+stime) in %.1f s: %.2f %% of one core\n",
           (opts == "" ? "" : " " opts), cpu, wall, 100 * cpu / wall
}'
