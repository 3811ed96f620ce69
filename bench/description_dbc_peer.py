#!/usr/bin/python3
"""Load times of the DBC reader beside python3-canmatrix's DBC loader, file by
file over every DBC file of the shared test data.

Run with Debian's /usr/bin/python3 (python3-canmatrix) after building:
    bench/description_dbc_peer.py [--runs N] [BUILD_DIR]

One run of a side is one process that loads every file once and times each
load by itself: build/bench/description_dbc_load_times for the reader, this
script with --canmatrix for canmatrix (canmatrix.formats.dbc.load on the open
file, its messages and warnings silenced as the reader's are). Both time a
load by the thread's processor time, so that other work on a shared machine
does not lengthen it. The two sides
run interleaved, the reader then canmatrix, N times over; only the files both
sides read count. A file's time is its median over the runs, which keeps a
load that another process interrupted out of the figures. From these times:
canmatrix's time over the reader's (above 1 when the reader is faster) for
the sum of all files, and the median over the files of each file's ratio, for
all files, those under 2 KB and the larger ones. The spread beside each
figure is its lowest and highest value taken from one pair of runs alone.
"""
import argparse
import contextlib
import logging
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SMALL_FILE = 2048


def dbc_files():
    root = os.environ.get("VYR_TESTDATA_DIR", "/work/shared/testdata")
    found = []
    for folder, _, names in os.walk(os.path.join(root, "dbc")):
        found += [os.path.join(folder, name) for name in names if name.endswith(".dbc")]
    return sorted(found)


def canmatrix_run(paths):
    """Loads each file once with canmatrix and prints its time as the reader's program does."""
    logging.disable(logging.CRITICAL)
    import canmatrix.formats.dbc

    lines = []
    with open(os.devnull, "w") as devnull, contextlib.redirect_stdout(devnull):
        for path in paths:
            started = time.thread_time()
            try:
                with open(path, "rb") as f:
                    canmatrix.formats.dbc.load(f)
            except Exception:  # a file canmatrix cannot read
                lines.append(f"failed {path}")
                continue
            lines.append(f"{(time.thread_time() - started) * 1e6:.3f} {path}")
    print("\n".join(lines))


def times_of(command):
    """Microseconds of each file that the run of command read."""
    output = subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True).stdout
    times = {}
    for line in output.splitlines():
        value, path = line.split(" ", 1)
        if value != "failed":
            times[path] = float(value)
    return times


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=21, help="interleaved pairs of runs (default 21)")
    parser.add_argument("--canmatrix", action="store_true", help="load the files with canmatrix (one run)")
    parser.add_argument("build", nargs="?", default=os.path.join(HERE, "..", "build"))
    args = parser.parse_args()
    paths = dbc_files()
    if args.canmatrix:
        canmatrix_run(paths)
        return
    if not paths:
        sys.exit("no DBC files in the shared test data")

    reader = [os.path.join(args.build, "bench", "description_dbc_load_times")] + paths
    canmatrix = [sys.executable, os.path.abspath(__file__), "--canmatrix"]
    ours, theirs = [], []
    for _ in range(args.runs):
        ours.append(times_of(reader))
        theirs.append(times_of(canmatrix))
    both = [p for p in paths if all(p in run for run in ours + theirs)]
    small = [p for p in both if os.path.getsize(p) < SMALL_FILE]
    large = [p for p in both if os.path.getsize(p) >= SMALL_FILE]

    def figures(our_time, their_time):
        """The total ratio and the per-file medians (all, small, large) of the given times."""
        ratio = {p: their_time[p] / our_time[p] for p in both}
        return [sum(their_time[p] for p in both) / sum(our_time[p] for p in both),
                statistics.median(ratio.values()), statistics.median(ratio[p] for p in small),
                statistics.median(ratio[p] for p in large)]

    # Each file's median time over the runs; the spread is that of the figure
    # taken from each pair of runs alone.
    median_time = lambda runs: {p: statistics.median(run[p] for run in runs) for p in both}
    central = figures(median_time(ours), median_time(theirs))
    per_run = [figures(a, b) for a, b in zip(ours, theirs)]
    print(f"{len(both)} files read by both of {len(paths)} ({len(small)} under 2 KB). canmatrix's time / the "
          f"reader's, from each file's median time over {args.runs} interleaved runs (spread: the figure of each "
          f"pair of runs):")
    titles = ["total over the files", "per-file median", "per-file median, files under 2 KB",
              "per-file median, files of 2 KB and more"]
    for k, title in enumerate(titles):
        values = [run[k] for run in per_run]
        print(f"{title}: {central[k]:.1f}× (spread {min(values):.1f}–{max(values):.1f})")


if __name__ == "__main__":
    main()
