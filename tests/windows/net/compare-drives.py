#!/usr/bin/env python3
"""The drives the server decoded from upload 1, as its database keeps them, held field by field against
the client's records (the dump the Windows round-trip test writes: "drive N", the record's
"Name = value" lines, "LogHex = ..."). Every field the dump and the drives table share must agree, a
flag as the database keeps it (1 or 0). Exit status 0 when all agree.
Usage: compare-drives.py DATABASE DUMP"""
import sqlite3
import sys

MIN_SHARED_FIELDS = 120  # the dump and the table share most fields; far fewer means a lost column


def client_records(dump_path):
    records = []
    with open(dump_path, encoding="cp1252", errors="strict") as dump:
        for line in dump.read().split("\n"):
            if line.startswith("drive "):
                records.append({})
            elif " = " in line and records:
                name, value = line.split(" = ", 1)
                records[-1][name] = {"true": "1", "false": "0"}.get(value, value)
    return records


def stored_drives(database_path):
    db = sqlite3.connect("file:%s?mode=ro" % database_path, uri=True)
    columns = [row[1] for row in db.execute("PRAGMA table_info(drives)")]
    # The text SQLite itself gives for each value, as the server's own tests read it.
    select = ", ".join('CAST("%s" AS TEXT)' % c for c in columns)
    rows = db.execute("SELECT %s FROM drives WHERE upload_id = 1 ORDER BY position" % select).fetchall()
    db.close()
    return [{c: ("NULL" if v is None else v) for c, v in zip(columns, row)} for row in rows]


def differences(client, stored):
    """The disagreements, and the fewest fields any drive's comparison covered."""
    found = []
    if len(client) != len(stored):
        return ["the client sent %d drives, the server stored %d" % (len(client), len(stored))], 0
    fewest = None
    for position, (record, row) in enumerate(zip(client, stored)):
        shared = 0
        for name, value in record.items():
            if name == "LogHex":
                value, name = bytes.fromhex(value).decode("cp1252"), "Log"
            elif name == "Log" or name not in row:
                continue
            shared += 1
            if row[name] != value:
                found.append("drive %d (%s): %s is %r on the server, %r on the client"
                             % (position, record.get("Model"), name, row[name], value))
        if shared < MIN_SHARED_FIELDS:
            found.append("drive %d: only %d fields shared by the dump and the table" % (position, shared))
        fewest = shared if fewest is None else min(fewest, shared)
    return found, fewest or 0


def main():
    database, dump = sys.argv[1], sys.argv[2]
    client = client_records(dump)
    found, fewest = differences(client, stored_drives(database))
    for line in found:
        print(line)
    if not found:
        print("%d drives: the server's records equal the client's, %d fields or more each" % (len(client), fewest))
    return 1 if found or not client else 0


if __name__ == "__main__":
    sys.exit(main())
