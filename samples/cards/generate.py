#!/usr/bin/env python3
"""Writes the sample card images of this folder.

Each card is laid out the way its family stores its history, so the decoders
produce sensible dates, amounts and balances. Run from anywhere:
    python3 samples/cards/generate.py
"""
import datetime
import json
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def hexs(b):
    return bytes(b).hex().upper()


def be(value, width):
    return list(value.to_bytes(width, "big", signed=value < 0))


def write(name, comment, systems, pmm="0120220427674EFF"):
    card = {"comment": comment, "pmm": pmm, "systems": systems}
    with open(os.path.join(HERE, name), "w", encoding="utf-8") as f:
        json.dump(card, f, ensure_ascii=False, indent=2)
        f.write("\n")


def system(code, idm, services):
    return {"system_code": code, "idm": idm,
            "services": [{"code": c, "blocks": [hexs(b) for b in blocks]} for c, blocks in services]}


# --- Edy: history 170F, card information 110B ----------------------------------

def edy_time(dt):
    base = datetime.datetime(2000, 1, 1)
    delta = dt - base
    return (delta.days << 17) | delta.seconds


def edy():
    # (kind, serial, when, amount, balance), newest first.
    uses = [
        (0x20, 118, datetime.datetime(2014, 10, 27, 10, 14, 53), 324, 1456),
        (0x20, 117, datetime.datetime(2014, 10, 25, 19, 2, 11), 220, 1780),
        (0x02, 116, datetime.datetime(2014, 10, 25, 18, 58, 40), 2000, 2000),
        (0x20, 115, datetime.datetime(2014, 10, 20, 12, 31, 5), 650, 0),
        (0x04, 114, datetime.datetime(2014, 10, 12, 9, 0, 0), 500, 650),
        (0x20, 113, datetime.datetime(2014, 10, 11, 21, 45, 30), 158, 150),
    ]
    history = [[k, 0] + be(s, 2) + be(edy_time(t), 4) + be(a, 4) + be(b, 4) for k, s, t, a, b in uses]
    number = [0x01, 0x2E, 0x4C, 0xD5, 0x00, 0xA0, 0x0F, 0x72]
    issued = edy_time(datetime.datetime(2012, 4, 1))
    info = [[0x00, 0x00] + number + be(issued, 4) + [0, 0], [0] * 16]
    balance = [be(1456, 4)[::-1] + [0] * 12]  # the purse: not read by the program
    write("edy.json", "Edy card 012E-4CD5-00A0-0F72: charges and payments, newest first; balance 1456 yen",
          [system("FE00", "012E4CD500A00F72",
                  [("110B", info), ("1317", balance), ("170F", history)])])


# --- nanaco: history 564F, card information 558B --------------------------------

def nanaco_time(dt):
    return ((dt.year - 2000) << 21) | (dt.month << 17) | (dt.day << 12) | (dt.hour << 6) | dt.minute


def nanaco():
    uses = [
        (0x47, 398, 2602, datetime.datetime(2014, 10, 31, 9, 14), 301),
        (0x6F, 1000, 3000, datetime.datetime(2014, 10, 30, 18, 40), 300),
        (0x47, 735, 2000, datetime.datetime(2014, 10, 28, 12, 5), 299),
        (0x83, 500, 2735, datetime.datetime(2014, 10, 20, 8, 30), 298),
        (0x47, 1265, 2235, datetime.datetime(2014, 10, 19, 20, 11), 297),
    ]
    history = [[k] + be(a, 4) + be(b, 4) + be(nanaco_time(t), 4) + be(s, 2) + [0] for k, a, b, t, s in uses]
    number = [0x70, 0x06, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12]
    issued = ((2013 - 2000) << 9) | (9 << 5) | 15
    both = number + [0] * 9 + be(issued, 2) + [0] * 13
    info = [both[:16], both[16:]]
    write("nanaco.json", "nanaco card 7006-1234-5678-9012, issued 2013-09-15; balance 2602 yen",
          [system("FE00", "0101080012AB34CD", [("558B", info), ("564F", history)])])


# --- WAON: history 680B (two blocks per use), card information 684F --------------

def waon_record(serial, kind, dt, balance, amount, charge):
    bits = 0
    for value, width in (((dt.year - 2005), 5), (dt.month, 4), (dt.day, 5), (dt.hour, 5), (dt.minute, 6),
                         (balance, 18), (amount, 18), (charge, 17), (0, 2)):
        bits = (bits << width) | value
    rec = [0] * 32
    rec[13:15] = be(serial, 2)
    rec[17] = kind
    rec[18:28] = list(bits.to_bytes(10, "big"))
    return rec


def waon():
    # The card writes its three records round robin: the newest is not first.
    records = [
        waon_record(41, 0x04, datetime.datetime(2014, 1, 12, 11, 30), 1516, 484, 0),
        waon_record(43, 0x04, datetime.datetime(2014, 1, 15, 14, 1), 1000, 1516, 0),
        waon_record(42, 0x0C, datetime.datetime(2014, 1, 15, 13, 55), 2516, 0, 1000),
    ]
    history = []
    for r in records:
        history += [r[:16], r[16:]]
    number = [0x68, 0x00, 0x12, 0x34, 0x56, 0x78, 0x90, 0x00]
    info = [number + [0] * 8, [0] * 16]
    write("waon.json", "WAON card 6800-1234-5678-9000: three uses written round robin (serials 41, 43, 42)",
          [system("FE00", "0114010012345678", [("67CF", [[0] * 16]), ("680B", history), ("684F", info)])])


# --- Transit (SF): history 090F, card information 008B --------------------------

def sf_date(d):
    return ((d.year - 2000) << 9) | (d.month << 5) | d.day


def transit():
    d = datetime.date
    # Oldest first: (terminal, kind, payment, gate, date, in, out, change, region)
    # change > 0 charges, < 0 pays; for shop sales "in" is (hour, minute).
    uses = [
        (0x16, 0x01, 0x00, 0x03, d(2015, 2, 27), 0xE32B, 0xE335, -200, 0x00),
        (0x16, 0x01, 0x00, 0x03, d(2015, 2, 27), 0xE335, 0xE32B, -200, 0x00),
        (0x08, 0x02, 0x00, 0x00, d(2015, 2, 28), 0xE32B, 0x0000, 3000, 0x00),
        (0x16, 0x01, 0x00, 0x03, d(2015, 3, 2), 0xE32B, 0xE401, -390, 0x00),
        (0xC7, 0x46, 0x00, 0x00, d(2015, 3, 2), (8, 12), 0x0000, -130, 0x00),
        (0x05, 0x0D, 0x00, 0x00, d(2015, 3, 2), 0x0B12, 0x0B34, -210, 0x00),
        (0x05, 0x0D, 0x00, 0x00, d(2015, 3, 2), 0x0B34, 0x0B12, -210, 0x00),
        (0x16, 0x01, 0x00, 0x03, d(2015, 3, 2), 0xE401, 0xE32B, -390, 0x00),
        (0x16, 0x01, 0x00, 0x03, d(2015, 3, 5), 0xE32B, 0xE335, -200, 0x00),
        (0xC7, 0x46, 0x00, 0x00, d(2015, 3, 5), (11, 1), 0x0000, -398, 0x00),
        (0x16, 0x01, 0x00, 0x03, d(2015, 3, 5), 0xE335, 0xE32B, -200, 0x00),
        (0x16, 0x14, 0x00, 0x00, d(2015, 3, 8), 0xE32B, 0x0000, 3000, 0x00),
        (0x16, 0x01, 0x00, 0x03, d(2015, 3, 8), 0xE32B, 0x3A05, -580, 0x01),
        (0x16, 0x01, 0x00, 0x03, d(2015, 3, 8), 0x3A05, 0xE32B, -580, 0x01),
        (0xC7, 0x46, 0x00, 0x00, d(2015, 3, 12), (19, 47), 0x0000, -1250, 0x00),
        (0x05, 0x0F, 0x00, 0x00, d(2015, 3, 12), 0x0B12, 0x0B56, -230, 0x00),
        (0x16, 0x01, 0x00, 0x03, d(2015, 3, 14), 0xE32B, 0xE335, -200, 0x00),
        (0x16, 0x81, 0x00, 0x03, d(2015, 3, 14), 0xE335, 0xE501, -160, 0x00),
        (0xC7, 0x46, 0x00, 0x00, d(2015, 3, 15), (7, 58), 0x0000, -150, 0x00),
        (0x16, 0x01, 0x00, 0x03, d(2015, 3, 15), 0xE32B, 0xE335, -200, 0x00),
    ]
    balance = 1860  # before the oldest block
    serial = 0x0251
    blocks = []
    for terminal, kind, pay, gate, day, where_in, where_out, change, region in uses:
        balance += change
        assert balance >= 0
        if isinstance(where_in, tuple):
            where_in = (where_in[0] << 11) | (where_in[1] << 5)
        block = [terminal, kind, pay, gate] + be(sf_date(day), 2) + be(where_in, 2) + be(where_out, 2)
        block += list(balance.to_bytes(2, "little")) + [0] + be(serial, 2) + [region]
        blocks.append(block)
        serial += 1
    blocks.reverse()  # block 0 is the newest
    info = [[0] * 16]
    gates = [[0x20, 0, 0, 0, 0xE3, 0x2B, 0, 0, 0x1E, 0x6F, 0x07, 0x58, 0, 0, 0, 0]] * 3
    write("transit.json",
          "Transit card 0101-0012-3456-789A: rail, bus and shop-sale records, newest first; balance %d yen" % balance,
          [system("0003", "010100123456789A", [("008B", info), ("090F", blocks), ("108F", gates)]),
           system("FE00", "010100123456789B", [("1A8B", [[0] * 16])])])


# --- Cards the program does not read --------------------------------------------

def unsupported():
    write("unsupported-system.json", "A card of a system the program does not know (only 88B4)",
          [system("88B4", "0123456789ABCDEF", [("000B", [[0x41] * 16, [0x42] * 16])])],
          pmm="00F1000000014300")


def fe00_without_history():
    write("fe00-no-history.json", "A common-area card (FE00) offering none of the three history services",
          [system("FE00", "0116050012345679",
                  [("1A8B", [[0x10] + [0] * 15]), ("1A4B", [[0x20] * 16, [0x21] * 16])])])


if __name__ == "__main__":
    edy()
    nanaco()
    waon()
    transit()
    unsupported()
    fe00_without_history()
