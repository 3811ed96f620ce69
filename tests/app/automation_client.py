#!/usr/bin/python3
"""An automation client of vyr on the session bus, driven by the tests.

It creates one automation object through the factory and prints its path,
then reads one JSON request per line from stdin ({"method": NAME, "args":
[...]}, an argument {"int": N} is sent as a 32-bit integer) and prints one
JSON answer per line: {"ok": [outputs]} or {"error": NAME, "text": TEXT}.
The object stays as long as this client is connected.
"""
import json
import sys

import dbus

SERVICE = "org.vyr.Vyr"
INTERFACE = "org.vyr.IVyrActiveX"


def plain(value):
    if isinstance(value, (list, tuple, dbus.Array, dbus.Struct)):
        return [plain(v) for v in value]
    if isinstance(value, (dbus.String, dbus.ObjectPath, str)):
        return str(value)
    if isinstance(value, (dbus.Double, float)):
        return {"double": float(value)}
    if isinstance(value, dbus.Int64):
        return {"int64": int(value)}
    if isinstance(value, (dbus.Int32, int)):
        return {"int": int(value)}
    return repr(value)


def argument(value):
    if isinstance(value, dict) and "int" in value:
        return dbus.Int32(value["int"], variant_level=1)
    if isinstance(value, list):
        return dbus.Array(value, signature="v")
    return value


def main():
    bus = dbus.SessionBus()
    factory = bus.get_object(SERVICE, "/org/vyr/Vyr")
    path = factory.CreateObject("VyrActiveX", dbus_interface="org.vyr.VyrFactory", timeout=60)
    print(str(path), flush=True)
    target = bus.get_object(SERVICE, path)
    for line in sys.stdin:
        request = json.loads(line)
        method = target.get_dbus_method(request["method"], INTERFACE)
        try:
            result = method(*[argument(a) for a in request.get("args", [])], timeout=60)
            if result is None:
                result = []
            elif not isinstance(result, tuple):
                result = [result]
            answer = {"ok": plain(list(result))}
        except dbus.DBusException as error:
            answer = {"error": error.get_dbus_name(), "text": error.get_dbus_message()}
        print(json.dumps(answer), flush=True)


if __name__ == "__main__":
    main()
