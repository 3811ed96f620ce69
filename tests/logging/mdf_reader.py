#!/usr/bin/python3
"""An independent reader of MDF 2.x/3.x files, standard library only.

    mdf_reader.py read FILE      prints the blocks and the decoded records as JSON
    mdf_reader.py write33 FILE   writes a small MDF 3.30 file of another program

The reader follows the links from the HD block (DG -> CG -> CN chain -> CC,
HD -> TX) rather than assuming offsets, decodes each record by the bit
positions and data types of its CN blocks and applies the linear CC block of
the time channel, so times come out in seconds.
"""
import json
import struct
import sys


def block(data, offset, ident):
    head, size = struct.unpack_from("<2sH", data, offset)
    if head.decode("latin-1") != ident:
        raise ValueError(f"expected {ident} at {offset}, found {head!r}")
    return data[offset:offset + size]


def text(raw):
    return raw.split(b"\0", 1)[0].decode("latin-1")


def read(path):
    data = open(path, "rb").read()
    ident = {
        "file_id": data[0:8].decode("latin-1"),
        "format_id": data[8:16].hex(),
        "program_id": data[16:24].hex(),
        "byte_order": struct.unpack_from("<H", data, 24)[0],
        "float_format": struct.unpack_from("<H", data, 26)[0],
        "version": struct.unpack_from("<H", data, 28)[0],
        "rest_zero": data[30:64] == bytes(34),
    }
    hd = block(data, 64, "HD")
    hd_dg, hd_tx, hd_pr, hd_ndg = struct.unpack_from("<IIIH", hd, 4)
    header = {
        "size": len(hd), "dg": hd_dg, "tx": hd_tx, "pr": hd_pr, "data_groups": hd_ndg,
        "date": hd[18:28].decode("latin-1"), "time": hd[28:36].decode("latin-1"),
        "rest_zero": hd[36:164] == bytes(128),
    }
    tx = block(data, hd_tx, "TX") if hd_tx else b""
    comment = tx[4:].hex()

    dg = block(data, hd_dg, "DG")
    dg_next, dg_cg, dg_tr, dg_data, dg_ncg, dg_nrec = struct.unpack_from("<IIIIHH", dg, 4)
    cg = block(data, dg_cg, "CG")
    cg_next, cg_cn, cg_tx, cg_recid, cg_nch, cg_recsize, cg_nrec = struct.unpack_from("<IIIHHHI", cg, 4)

    channels = []
    link = cg_cn
    while link:
        cn = block(data, link, "CN")
        nxt, cc_link, tx_link, ce_link, cd_link, ch_type = struct.unpack_from("<IIIIIH", cn, 4)
        first_bit, bits, dtype = struct.unpack_from("<HHH", cn, 186)
        conversion = None
        if cc_link:
            cc = block(data, cc_link, "CC")
            valid, lo, hi = struct.unpack_from("<Hdd", cc, 4)
            conv_type, nparams = struct.unpack_from("<HH", cc, 42)
            params = struct.unpack_from("<" + "d" * nparams, cc, 46)
            conversion = {"size": len(cc), "range_valid": valid, "min": lo, "max": hi,
                          "unit": text(cc[22:42]), "unit_zero": cc[22:42] == bytes(20),
                          "type": conv_type, "params": list(params)}
        channels.append({
            "offset": link, "size": len(cn), "next": nxt, "cc": cc_link, "links_zero": [tx_link, ce_link, cd_link],
            "type": ch_type, "name": text(cn[26:58]), "name_field": cn[26:58].hex(),
            "description_zero": cn[58:186] == bytes(128), "first_bit": first_bit, "bits": bits,
            "data_type": dtype, "tail_zero": cn[192:] == bytes(len(cn) - 192), "conversion": conversion,
        })
        link = nxt

    # One record identifier byte before each record (DG says how many).
    stride = cg_recsize + (1 if dg_nrec >= 1 else 0) + (1 if dg_nrec == 2 else 0)
    records = []
    for n in range(cg_nrec):
        start = dg_data + n * stride
        raw = data[start:start + stride]
        body = raw[1:] if dg_nrec >= 1 else raw
        word = int.from_bytes(body[:cg_recsize], "little")
        values = {"record_id": raw[0]}
        for ch in channels:
            value = (word >> ch["first_bit"]) & ((1 << ch["bits"]) - 1)
            if ch["data_type"] == 1 and value >> (ch["bits"] - 1):
                value -= 1 << ch["bits"]
            values[ch["name"]] = value
            if ch["conversion"] and ch["conversion"]["type"] == 0:
                offset, factor = ch["conversion"]["params"][:2]
                values[ch["name"] + ".phys"] = offset + factor * value
        records.append(values)

    return {
        "id": ident, "hd": header, "tx_size": len(tx), "comment": comment,
        "dg": {"offset": hd_dg, "size": len(dg), "next": dg_next, "cg": dg_cg, "trigger": dg_tr, "data": dg_data,
               "channel_groups": dg_ncg, "record_ids": dg_nrec},
        "cg": {"offset": dg_cg, "size": len(cg), "next": cg_next, "cn": cg_cn, "comment": cg_tx, "record_id": cg_recid,
               "channels": cg_nch, "record_size": cg_recsize, "records": cg_nrec},
        "cn": channels, "records": records, "file_size": len(data),
    }


def write33(path):
    """A valid MDF 3.30 file of one channel group with a time and a value channel."""
    def cn(next_link, cc_link, ch_type, name, first_bit, bits, dtype):
        body = struct.pack("<IIIII", next_link, cc_link, 0, 0, 0) + struct.pack("<H", ch_type)
        body += name.encode().ljust(32, b"\0") + bytes(128) + struct.pack("<HHHHddd", first_bit, bits, dtype, 0, 0, 0, 0)
        body += struct.pack("<IIH", 0, 0, 0)
        return b"CN" + struct.pack("<H", len(body) + 4) + body

    ident = b"MDF     " + b"3.30    " + b"PYTHON  " + struct.pack("<HHHH", 0, 0, 330, 0) + bytes(32)
    hd_size = 208
    dg_off = 64 + hd_size
    cg_off = dg_off + 28
    cn1_off = cg_off + 30
    cn2_off = cn1_off + 228
    data_off = cn2_off + 228
    records = b"".join(struct.pack("<dI", t * 0.01, t) for t in range(3))
    hd = b"HD" + struct.pack("<HIIIH", hd_size, dg_off, 0, 0, 1) + b"01:01:2024" + b"00:00:00"
    hd += bytes(128) + struct.pack("<QhH", 0, 0, 0) + bytes(32)
    dg = b"DG" + struct.pack("<HIIIIHHI", 28, 0, cg_off, 0, data_off, 1, 0, 0)
    cg = b"CG" + struct.pack("<HIIIHHHII", 30, 0, cn1_off, 0, 0, 2, 12, 3, 0)
    blob = ident + hd + dg + cg + cn(cn2_off, 0, 1, "t", 0, 64, 3) + cn(0, 0, 0, "v", 64, 32, 0) + records
    open(path, "wb").write(blob)


if __name__ == "__main__":
    if sys.argv[1] == "read":
        print(json.dumps(read(sys.argv[2])))
    elif sys.argv[1] == "write33":
        write33(sys.argv[2])
