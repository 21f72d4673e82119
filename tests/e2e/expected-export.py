#!/usr/bin/env python3
"""expected-export.py DATABASE USER [OUT]

Writes the .sql file that an all-objects export of USER's schema must produce, computed
straight from an oci-lite database file, independently of the program: the user's
packages, package bodies, procedures and functions by name and then type, each as
"CREATE OR REPLACE " followed by its source lines in line order and a line feed, then a
"/" line unless the block's last non-blank line already is a "/" alone (a "/" closing a
comment, or a division, near the end does not run the statement, so it does not count)."""
import sqlite3
import sys

TYPES = ("PACKAGE", "PACKAGE BODY", "PROCEDURE", "FUNCTION")


def export(db_path, user):
    db = sqlite3.connect(db_path)
    objects = db.execute(
        "SELECT object_name, object_type FROM objects WHERE owner = ? AND object_type IN (?,?,?,?)"
        " ORDER BY object_name, object_type", (user,) + TYPES).fetchall()
    out = b""
    for name, kind in objects:
        lines = db.execute(
            "SELECT CAST(text AS BLOB) FROM source WHERE owner = ? AND name = ? AND type = ? ORDER BY line",
            (user, name, kind)).fetchall()
        if not lines:
            raise SystemExit("object without source: %r %r" % (name, kind))
        block = b"CREATE OR REPLACE " + b"".join(text or b"" for (text,) in lines)
        last_line = block.rstrip(b" \t\r\n").rsplit(b"\n", 1)[-1]
        block += b"\n" if last_line.strip(b" \t\r") == b"/" else b"\n/\n"
        out += block
    return out


def main():
    if len(sys.argv) not in (3, 4):
        raise SystemExit(__doc__)
    data = export(sys.argv[1], sys.argv[2])
    if len(sys.argv) == 4:
        with open(sys.argv[3], "wb") as f:
            f.write(data)
    else:
        sys.stdout.buffer.write(data)


if __name__ == "__main__":
    main()
