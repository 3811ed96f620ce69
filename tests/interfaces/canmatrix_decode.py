"""Decodes payloads with python3-canmatrix and prints the physical values (the
raw values with --raw) as JSON: {"MESSAGE.SIGNAL": value, ...}, one object per
payload, in a list.
Usage: /usr/bin/python3 canmatrix_decode.py [--raw] FILE.dbc MESSAGE:HEXDATA..."""
import contextlib
import io
import json
import logging
import sys

logging.disable(logging.CRITICAL)
import canmatrix.formats  # noqa: E402


def main():
    args = sys.argv[1:]
    raw = args[0] == "--raw"
    if raw:
        args = args[1:]
    with contextlib.redirect_stdout(io.StringIO()):
        matrix = next(iter(canmatrix.formats.loadp(args[0]).values()))
    results = []
    for item in args[1:]:
        name, data = item.split(":")
        frame = matrix.frame_by_name(name)
        decoded = frame.decode(bytearray.fromhex(data))
        results.append({name + "." + s: float(v.raw_value if raw else v.phys_value) for s, v in decoded.items()})
    json.dump(results, sys.stdout)


main()
