"""Prints what python3-canmatrix reads from DBC files, as JSON keyed by path,
in the shape of tests/tools/candb_json.h, so that the two readers can be
compared. start_bit is the least significant bit in both byte orders.
With --write-dir DIR each file read is also written by canmatrix's own DBC
writer as DIR/<n>.dbc (n counting the files from 0), named in "written".
Usage: /usr/bin/python3 canmatrix_dump.py [--write-dir DIR] FILE..."""
import contextlib
import io
import json
import logging
import sys

logging.disable(logging.CRITICAL)
import canmatrix.formats  # noqa: E402


def signal_json(s):
    multiplex = s.multiplex if isinstance(s.multiplex, int) else None
    return {
        "name": s.name,
        "start_bit": s.get_startbit(bit_numbering=1, start_little=True),
        "length": int(s.size),
        "byte_order": "intel" if s.is_little_endian else "motorola",
        "signed": bool(s.is_signed),
        "float": bool(s.is_float),
        "factor": float(s.factor),
        "offset": float(s.offset),
        "min": float(s.min) if s.min is not None else None,
        "max": float(s.max) if s.max is not None else None,
        "unit": s.unit,
        "multiplexer": bool(s.is_multiplexer),
        "multiplex_value": multiplex,
        "values": {str(k): v for k, v in s.values.items()},
    }


def network_json(path, write_to=None):
    try:
        # canmatrix prints the lines it cannot parse; they are not wanted here.
        with open(path, "rb") as f, contextlib.redirect_stdout(io.StringIO()):
            db = canmatrix.formats.dbc.load(f)
    except Exception as e:  # a file canmatrix cannot read
        return {"error": repr(e)}
    messages = []
    for frame in db.frames:
        messages.append({
            "name": frame.name,
            "id": frame.arbitration_id.id,
            "extended": bool(frame.arbitration_id.extended),
            "dlc": int(frame.size),
            "signals": [signal_json(s) for s in frame.signals],
        })
    result = {"messages": messages}
    if write_to:
        try:
            with contextlib.redirect_stdout(io.StringIO()):
                canmatrix.formats.dumpp({"": db}, write_to, export_type="dbc")
            result["written"] = write_to
        except Exception as e:
            result["write_error"] = repr(e)
    return result


if __name__ == "__main__":
    args = sys.argv[1:]
    write_dir = None
    if args[:1] == ["--write-dir"]:
        write_dir, args = args[1], args[2:]
    out = {}
    for n, path in enumerate(args):
        out[path] = network_json(path, write_dir and "%s/%d.dbc" % (write_dir, n))
    json.dump(out, sys.stdout)
