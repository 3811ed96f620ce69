#!/usr/bin/python3
"""Frames of a log file as python-can reads them, one line each, for the log
format tests to compare with their own reading; or an ASC file written by
python-can's ASCWriter.

    python_can_frames.py asc <file>        frames of can.ASCReader
    python_can_frames.py candump <file>    frames of can.CanutilsLogReader
    python_can_frames.py write-asc <file>  writes frames with can.ASCWriter

A frame line is: the time stamp in microseconds, channel index, identifier
in hexadecimal, flag letters (X extended, R remote, E error frame, F CAN FD,
B bit-rate switch, S error-state indicator, T transmitted, or "-"), length
(the number of data bytes; the DLC of a remote frame: python-can keeps a
classic DLC code of 9 to 15 with 8 bytes), data in hexadecimal (or "-").
"""
import re
import sys

import can


def channel_index(channel):
    if isinstance(channel, int):
        return channel
    digits = re.search(r"(\d+)$", str(channel or "0"))
    return int(digits.group(1)) if digits else 0


def frame_line(message):
    flags = "".join(letter for letter, on in (
        ("X", message.is_extended_id and not message.is_error_frame), ("R", message.is_remote_frame),
        ("E", message.is_error_frame), ("F", message.is_fd), ("B", message.bitrate_switch),
        ("S", message.error_state_indicator), ("T", not message.is_rx)) if on)
    micros = round(message.timestamp * 1e6)
    arbitration_id = 0 if message.is_error_frame else message.arbitration_id
    data = bytes(message.data).hex() if not message.is_remote_frame else ""
    length = message.dlc if message.is_remote_frame or message.is_error_frame else len(message.data)
    return (f"{micros} {channel_index(message.channel)} {arbitration_id:x} {flags or '-'} {length} "
            f"{data or '-'}")


def print_frames(reader):
    for message in reader:
        print(frame_line(message))


def write_asc(path):
    writer = can.ASCWriter(path)
    start = 1700000000.0
    frames = [
        can.Message(timestamp=start, arbitration_id=0x1A, is_extended_id=False, data=[1, 255], channel=0),
        can.Message(timestamp=start + 0.000250, arbitration_id=0x12345678, data=[0, 1, 2, 3, 4, 5, 6, 7],
                    channel=1, is_rx=False),
        can.Message(timestamp=start + 0.5, arbitration_id=0x7FF, is_extended_id=False, is_remote_frame=True, dlc=4,
                    channel=0),
        can.Message(timestamp=start + 0.75, is_error_frame=True, channel=2),
        can.Message(timestamp=start + 1.0, arbitration_id=0x100, is_extended_id=False, is_fd=True,
                    bitrate_switch=True, data=list(range(64)), channel=0),
        can.Message(timestamp=start + 1.25, arbitration_id=0x101, is_extended_id=False, is_fd=True,
                    data=[9, 8, 7], channel=1),
        can.Message(timestamp=start + 12345.678901, arbitration_id=0x1FFFFFFF, data=[], channel=0),
    ]
    for frame in frames:
        writer.on_message_received(frame)
    writer.stop()


def main():
    mode, path = sys.argv[1], sys.argv[2]
    if mode == "asc":
        print_frames(can.ASCReader(path))
    elif mode == "candump":
        print_frames(can.CanutilsLogReader(path))
    elif mode == "write-asc":
        write_asc(path)
    else:
        sys.exit(f"unknown mode {mode}")


if __name__ == "__main__":
    main()
