#!/usr/bin/python3
"""Frames per second of the log formats beside python-can, on the same one
million frames: the ASCII and the Vector ASCII format beside python-can's
ASCWriter and ASCReader, the simple binary format beside its binary
BLFWriter and BLFReader. The BLFWriter compresses with zlib by default, which
our binary format does not: a second row runs it uncompressed (level 0), the
like-for-like peer.

Whole runs alternate (ours, python-can, ours, python-can, ...); each side's
rate is the median over the rounds, shown with its spread (lowest to highest);
the ratio is the median of the per-round ratios with their spread. The load
average (1 minute) at the start of each round is shown the same way.

Run with Debian's /usr/bin/python3 (python3-can) after building:
    bench/logging_ascii_peer.py [--rounds N] [--rows WORD] [build folder]
--rows WORD runs only the rows whose name holds WORD (such as "binary").
"""
import argparse
import functools
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

import can

LINE_COUNT = 1000000
MASK64 = (1 << 64) - 1

# Our benchmark of each row, python-can's writer and reader, and its file suffix.
ROWS = [
    ("ASCII", "logging_ascii_bench", "BM_Ascii", "ASC", can.ASCWriter, can.ASCReader, ".asc"),
    ("Vector ASCII", "logging_formats_bench", "BM_VectorAscii", "ASC", can.ASCWriter, can.ASCReader, ".asc"),
    ("binary", "logging_formats_bench", "BM_Binary", "BLF zlib", can.BLFWriter, can.BLFReader, ".blf"),
    ("binary, BLF level 0", "logging_formats_bench", "BM_Binary", "BLF level 0",
     functools.partial(can.BLFWriter, compression_level=0), can.BLFReader, ".blf"),
]


def make_frames():
    """The frames of bench/logging_bench_frames.h: the same generator step for step."""
    state = 1

    def next_value():
        nonlocal state
        state = (state * 6364136223846793005 + 1442695040888963407) & MASK64
        return state >> 32

    frames = []
    for i in range(LINE_COUNT):
        r = next_value()
        extended = bool(r & 1)
        can_id = (r >> 1) & (0x1FFFFFFF if extended else 0x7FF)
        dlc = next_value() % 9
        data = bytes(next_value() & 0xFF for _ in range(dlc))
        frames.append(can.Message(timestamp=i / 1000.0, arbitration_id=can_id, is_extended_id=extended,
                                  dlc=dlc, data=data))
    return frames


def python_can_rates(frames, writer_class, reader_class, suffix):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "peer" + suffix)
        start = time.perf_counter()
        writer = writer_class(path)
        for frame in frames:
            writer.on_message_received(frame)
        writer.stop()
        write_rate = len(frames) / (time.perf_counter() - start)

        start = time.perf_counter()
        count = sum(1 for _ in reader_class(path))
        read_rate = count / (time.perf_counter() - start)
        if count != len(frames):
            sys.exit(f"python-can read {count} of {len(frames)} frames")
    return write_rate, read_rate


def vyr_rates(program):
    output = subprocess.run([program, "--benchmark_format=json"], check=True, capture_output=True,
                            text=True).stdout
    return {run["name"].split("/")[0]: run["items_per_second"] for run in json.loads(output)["benchmarks"]}


def spread(values, digits=0):
    return f"{statistics.median(values):12,.{digits}f} ({min(values):,.{digits}f}-{max(values):,.{digits}f})"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--rows", default="", help="only the rows whose name holds this word")
    parser.add_argument("build", nargs="?",
                        default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build"))
    arguments = parser.parse_args()
    rows = [row for row in ROWS if arguments.rows in row[0]]
    programs = sorted({row[1] for row in rows})
    frames = make_frames()

    ours = {}    # (row, "write"/"read") -> rates
    theirs = {}
    loads = []
    for _ in range(arguments.rounds):
        loads.append(os.getloadavg()[0])
        rates = {}
        for program in programs:
            rates.update(vyr_rates(os.path.join(arguments.build, "bench", program)))
        for name, _, prefix, _, writer, reader, suffix in rows:
            ours.setdefault((name, "write"), []).append(rates[prefix + "Write"])
            ours.setdefault((name, "read"), []).append(rates[prefix + "Read"])
            write_rate, read_rate = python_can_rates(frames, writer, reader, suffix)
            theirs.setdefault((name, "write"), []).append(write_rate)
            theirs.setdefault((name, "read"), []).append(read_rate)

    print(f"frames/s, median (spread) over {arguments.rounds} interleaved rounds; "
          f"load average {spread(loads, 1).strip()}")
    print(f"{'format':26} {'vyr':>36} {'python-can':>42} {'ratio':>22}")
    for name, _, _, peer, _, _, _ in rows:
        for step in ("write", "read"):
            key = (name, step)
            ratios = [a / b for a, b in zip(ours[key], theirs[key])]
            print(f"{name + ' ' + step:26} {spread(ours[key]):>36} {peer + ' ' + spread(theirs[key]):>42} "
                  f"{spread(ratios, 1):>20}x")


if __name__ == "__main__":
    main()
