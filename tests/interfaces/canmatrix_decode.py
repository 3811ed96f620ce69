"""Decodes frames with python3-canmatrix and prints the raw and physical value
of every signal as JSON: {"<message>": {"<signal>": [raw, phys], ...}, ...}.
Usage: /usr/bin/python3 canmatrix_decode.py FILE MESSAGE HEXDATA [MESSAGE HEXDATA ...]"""
import contextlib
import io
import json
import logging
import sys

logging.disable(logging.CRITICAL)
import canmatrix.formats  # noqa: E402


def main():
    path, pairs = sys.argv[1], sys.argv[2:]
    with contextlib.redirect_stdout(io.StringIO()):
        db = canmatrix.formats.loadp_flat(path)
    result = {}
    for name, data in zip(pairs[0::2], pairs[1::2]):
        frame = db.frame_by_name(name)
        decoded = frame.decode(bytes.fromhex(data))
        result[name] = {n: [float(v.raw_value), float(v.phys_value)] for n, v in decoded.items()}
    print(json.dumps(result))


main()
