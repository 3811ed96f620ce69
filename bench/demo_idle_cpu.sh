#!/bin/sh
# Measures the CPU share of the idling demo: starts bin/vyr on demo/demo.vyr
# without a display, lets it settle, and reads the process's user and system
# time (utime + stime of /proc/PID/stat) at the start and at the end of the
# stretch. The share is that CPU time over the wall time, in percent of one
# core; on a loaded machine it stays close to what the process itself used.
#
# Usage: bench/demo_idle_cpu.sh [--windows ROUNDS] [seconds] [vyr options...]
#   --windows N  what each window costs: N rounds, each of which runs the
#                whole demo, the demo without any window (the interface, its
#                script and the main window), and the demo without one of its
#                windows, one window after the other; per configuration the
#                median share and its spread over the rounds, and the window's
#                cost as the median of the per-round differences to the whole
#                demo
#   seconds      length of the measured stretch (default 60)
#   vyr options  passed on, e.g. -nortclockx
# The load average (1 minute) at the start of each run is printed beside it.
# VYR_BUILD_DIR names the build folder (default build).
set -e
cd "$(dirname "$0")/.."
rounds=0
if [ "$1" = "--windows" ]; then
    rounds=$2
    shift 2
fi
seconds=${1:-60}
[ $# -gt 0 ] && shift
settle=5
vyr="$(cd "${VYR_BUILD_DIR:-build}" && pwd)/bin/vyr"
[ -x "$vyr" ] || { echo "demo_idle_cpu: no $vyr; build first" >&2; exit 1; }
hz=$(getconf CLK_TCK)
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT INT TERM

# Field 14 and 15 of the stat line, counted after the command name, which is
# in parentheses and may hold spaces.
cpu_ticks() {
    sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

# A copy of the demo whose configuration lacks the section [$1]; "whole"
# keeps every section, "none" drops every window.
demo_copy() {
    rm -rf "$work/demo"
    cp -r demo "$work/demo"
    [ "$1" = whole ] && return
    awk -v drop="[$1]" '/^\[/ { skip = ($0 == drop || (drop == "[none]" && $0 != "[defaults]" && $0 != "[CAN]")) } !skip' \
        demo/demo.vyr >"$work/demo/demo.vyr"
}

# Runs the demo in $work/demo and sets percent to its CPU share in percent
# of one core (in this shell, so that the trap can end the demo).
share() {
    cd "$work/demo"
    QT_QPA_PLATFORM=offscreen "$vyr" -nodisclaimer -nosplash -start demo.vyr "$@" >/dev/null 2>&1 &
    pid=$!
    cd - >/dev/null
    sleep "$settle"
    kill -0 "$pid" 2>/dev/null || { echo "demo_idle_cpu: vyr ended before the measurement" >&2; exit 1; }
    start_ticks=$(cpu_ticks "$pid")
    start_ns=$(date +%s%N)
    sleep "$seconds"
    end_ticks=$(cpu_ticks "$pid")
    end_ns=$(date +%s%N)
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=
    percent=$(awk -v t="$((end_ticks - start_ticks))" -v hz="$hz" -v ns="$((end_ns - start_ns))" \
        'BEGIN { printf "%.3f\n", 100 * (t / hz) / (ns / 1e9) }')
}

load() {
    cut -d' ' -f1 /proc/loadavg
}

if [ "$rounds" -eq 0 ]; then
    demo_copy whole
    before=$(load)
    share "$@"
    echo "demo${*:+ $*}: $percent % of one core (utime+stime over ${seconds} s); load average $before"
    exit 0
fi

windows=$(sed -n 's/^\[\(.*\)\]$/\1/p' demo/demo.vyr | grep -v -e '^defaults$' -e '^CAN$')
: >"$work/results"
round=1
while [ "$round" -le "$rounds" ]; do
    for window in whole none $windows; do
        demo_copy "$window"
        before=$(load)
        share "$@"
        echo "$round $window $percent $before" >>"$work/results"
        echo "round $round: ${window}: $percent % (load $before)" >&2
    done
    round=$((round + 1))
done

# Per configuration: median (lowest-highest) of the share and of the load;
# per window: the median of (whole - without the window) over the rounds.
python3 - "$work/results" "$seconds" <<'EOF'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
by = {}
for r, name, percent, load in rows:
    by.setdefault(name, {})[int(r)] = (float(percent), float(load))
def spread(values):
    return f"{statistics.median(values):.3f} ({min(values):.3f}-{max(values):.3f})"
print(f"demo idle, % of one core over {sys.argv[2]} s, median (lowest-highest) over {len(by['whole'])} rounds")
for name, runs in by.items():
    shares = [p for p, _ in runs.values()]
    loads = [l for _, l in runs.values()]
    label = {"whole": "whole demo", "none": "without any window"}.get(name, "without " + name)
    line = f"{label:22} {spread(shares):28} load {spread(loads)}"
    if name != "whole":
        costs = [by["whole"][r][0] - p for r, (p, _) in runs.items() if r in by["whole"]]
        line += f"   window costs {spread(costs)}"
    print(line)
EOF
