#!/usr/bin/env python3
"""Runs the same programs in the script language (script_run) and in Lua 5.4
and prints the CPU time of each and the script's speed as a ratio to Lua's.

    bench/peer/run_peer.py [BUILD_DIR]

Each program runs several times and the best CPU time (user + system) counts,
since the machine is shared. The ratio is given for the whole process and for
the program alone, with the start-up (the empty program) taken off both sides.
"""
import os
import resource
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAMS = ["loop", "array", "fib"]
RUNS = 7


def cpu_seconds(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def best(command):
    return min(cpu_seconds(command) for _ in range(RUNS))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "..", "build")
    script_run = os.path.join(build, "bin", "script_run")
    script = lambda name: [script_run, "--no-cycle-limit", os.path.join(HERE, name + ".vys")]
    lua = lambda name: ["lua5.4", os.path.join(HERE, name + ".lua")]

    script_start = best(script("empty"))
    lua_start = best(lua("empty"))
    print(f"{'program':8} {'script s':>9} {'lua s':>9} {'ratio':>6} {'without start-up':>17}")
    print(f"{'start-up':8} {script_start:9.4f} {lua_start:9.4f} {lua_start / script_start:6.2f}")
    for name in PROGRAMS:
        script_time = best(script(name))
        lua_time = best(lua(name))
        alone = max(lua_time - lua_start, 1e-6) / max(script_time - script_start, 1e-6)
        print(f"{name:8} {script_time:9.4f} {lua_time:9.4f} {lua_time / script_time:6.2f} {alone:17.2f}")


if __name__ == "__main__":
    main()
