#!/usr/bin/python3
"""Frames per second of the ASCII log format beside python-can's ASC writer
and reader, on the same one million frames.

Run with Debian's /usr/bin/python3 (python3-can) after building:
    bench/logging_ascii_peer.py [build/bench/logging_ascii_bench]
"""
import json
import os
import subprocess
import sys
import tempfile
import time

import can

LINE_COUNT = 1000000
MASK64 = (1 << 64) - 1


def make_frames():
    """The frames of logging_ascii_bench: the same generator step for step."""
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


def python_can_rates(frames):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "peer.asc")
        start = time.perf_counter()
        writer = can.ASCWriter(path)
        for frame in frames:
            writer.on_message_received(frame)
        writer.stop()
        write_rate = len(frames) / (time.perf_counter() - start)

        start = time.perf_counter()
        count = sum(1 for _ in can.ASCReader(path))
        read_rate = count / (time.perf_counter() - start)
        if count != len(frames):
            sys.exit(f"python-can read {count} of {len(frames)} frames")
    return write_rate, read_rate


def vyr_rates(bench):
    output = subprocess.run([bench, "--benchmark_format=json"], check=True, capture_output=True, text=True).stdout
    rates = {run["name"].split("/")[0]: run["items_per_second"] for run in json.loads(output)["benchmarks"]}
    return rates["BM_AsciiWrite"], rates["BM_AsciiRead"]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    bench = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "build", "bench", "logging_ascii_bench")
    vyr_write, vyr_read = vyr_rates(bench)
    peer_write, peer_read = python_can_rates(make_frames())
    print(f"{'frames/s':10} {'vyr ASCII':>12} {'python-can ASC':>15} {'ratio':>7}")
    print(f"{'write':10} {vyr_write:12,.0f} {peer_write:15,.0f} {vyr_write / peer_write:6.1f}x")
    print(f"{'read':10} {vyr_read:12,.0f} {peer_read:15,.0f} {vyr_read / peer_read:6.1f}x")


if __name__ == "__main__":
    main()
