#!/usr/bin/env python3
"""Runs Google Benchmark programs as whole processes, round by round.

Each round runs every given program once, in the given order, so the programs
take turns (A B A B ...) and share whatever the machine does meanwhile. For
every benchmark it prints the median over the rounds of its CPU time per
iteration and of the counters it reports (such as "p50 us" and "p99 us"),
with the spread (lowest and highest round), and the same of the load average
(1 minute) read as each run starts. A pair "A:B" given with --ratio
prints the median and spread of the per-round ratio of B's time over A's,
where A and B are benchmark names (without their "/iterations:N" part).
Two builds of the same program (before and after a change) may be given;
their benchmarks are then named by the program's path and the name.

    bench/interleaved_runs.py --runs 5 build/bench/widgets_graph_bench \
        --ratio BM_VyrGraphFullRepaint:BM_QwtPlotFullRepaint
"""
import argparse
import json
import os
import statistics
import subprocess
import sys


def base_name(name):
    return name.split("/iterations:")[0]


# The fields of a benchmark's JSON record that are not its own counters.
RECORD_FIELDS = {"name", "family_index", "per_family_instance_index", "run_name", "run_type", "repetitions",
                 "repetition_index", "threads", "iterations", "real_time", "cpu_time", "time_unit"}


def run_once(program, label=""):
    load = os.getloadavg()[0]
    out = subprocess.run([program, "--benchmark_format=json"], check=True, capture_output=True, text=True).stdout
    figures = {}
    for bench in json.loads(out)["benchmarks"]:
        unit = bench.get("time_unit", "ns")
        scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[unit]
        row = {"cpu us": bench["cpu_time"] * scale}
        for key, value in bench.items():
            if key not in RECORD_FIELDS and isinstance(value, (int, float)) and not isinstance(value, bool):
                row[key] = value
        row["load"] = load
        figures[label + base_name(bench["name"])] = row
    return figures


def spread(values):
    return f"{statistics.median(values):.4g} ({min(values):.4g}-{max(values):.4g})"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("programs", nargs="+")
    parser.add_argument("--runs", type=int, default=5, help="rounds (default 5)")
    parser.add_argument("--ratio", action="append", default=[], help="A:B: B's CPU time over A's, per round")
    args = parser.parse_args()

    # Builds of the same program (before and after a change) name their benchmarks by their path.
    same_names = len({os.path.basename(p) for p in args.programs}) < len(args.programs)
    rounds = []
    for _ in range(args.runs):
        figures = {}
        for program in args.programs:
            figures.update(run_once(program, program + " " if same_names else ""))
        rounds.append(figures)

    print(f"{args.runs} rounds of {' '.join(args.programs)}; median (lowest-highest) over the rounds")
    for name in rounds[0]:
        columns = "  ".join(f"{key} {spread([r[name][key] for r in rounds])}" for key in rounds[0][name])
        print(f"{name:45} {columns}")
    for pair in args.ratio:
        a, b = pair.split(":", 1)
        ratios = [r[b]["cpu us"] / r[a]["cpu us"] for r in rounds]
        print(f"{b} / {a}: {spread(ratios)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
