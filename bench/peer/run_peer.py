#!/usr/bin/env python3
"""Runs the same programs in the script language (script_run) and in Lua 5.4
(lua5.4, each in its idiomatic form: Lua's numeric for where the script has
for) and prints the script's speed as a ratio to Lua's.

    bench/peer/run_peer.py [--runs N] [BUILD_DIR]

Each run is a whole process, start-up included, timed by its CPU time (user +
system, from wait4, so other work on a shared machine counts less than in the
wall time). The two sides run interleaved, script then Lua, N times over; each
pair gives one ratio (Lua's time / the script's, above 1 when the script is
faster), and the median of those ratios is printed with their spread (lowest
to highest). Both sides must print the same result, or the run stops. The
empty program shows what start-up alone costs, as a share of each program.
"""
import argparse
import os
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAMS = [("integer loop", "loop"), ("array passes", "array"), ("fib(35)", "fib")]


def run(command):
    """CPU seconds and the printed output of one whole run of command."""
    child = subprocess.Popen(command, stdout=subprocess.PIPE)
    output = child.stdout.read()
    child.stdout.close()
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit(f"{' '.join(command)} ended with {child.returncode}")
    return usage.ru_utime + usage.ru_stime, output


def interleaved(script, lua, runs):
    """Times of the script and of Lua, run alternately, and the ratio of each pair."""
    script_times, lua_times, ratios = [], [], []
    for _ in range(runs):
        script_time, script_output = run(script)
        lua_time, lua_output = run(lua)
        if script_output != lua_output:
            sys.exit(f"the two sides print different results: {script_output!r} and {lua_output!r}")
        script_times.append(script_time)
        lua_times.append(lua_time)
        ratios.append(lua_time / max(script_time, 1e-6))
    return script_times, lua_times, ratios


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=11, help="interleaved pairs per program (default 11)")
    parser.add_argument("build", nargs="?", default=os.path.join(HERE, "..", "..", "build"))
    args = parser.parse_args()
    script_run = os.path.join(args.build, "bin", "script_run")
    script = lambda name: [script_run, "--no-cycle-limit", os.path.join(HERE, name + ".vys")]
    lua = lambda name: ["lua5.4", os.path.join(HERE, name + ".lua")]

    start_script, start_lua, _ = interleaved(script("empty"), lua("empty"), args.runs)
    start_script, start_lua = statistics.median(start_script), statistics.median(start_lua)
    print(f"start-up: script {start_script * 1000:.1f} ms, Lua {start_lua * 1000:.1f} ms (medians)")
    for title, name in PROGRAMS:
        script_times, lua_times, ratios = interleaved(script(name), lua(name), args.runs)
        script_median, lua_median = statistics.median(script_times), statistics.median(lua_times)
        print(f"{title}: {statistics.median(ratios):.2f}× Lua (median of {args.runs} interleaved runs, "
              f"spread {min(ratios):.2f}–{max(ratios):.2f}); script {script_median:.3f} s, Lua {lua_median:.3f} s, "
              f"start-up {100 * start_script / script_median:.1f} % / {100 * start_lua / lua_median:.1f} %")


if __name__ == "__main__":
    main()
