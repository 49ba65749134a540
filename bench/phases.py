#!/usr/bin/env python3
"""Reads the phases of one run from the outside: from `strace -f -ttt -e trace=connect,close`
of the run (with --seccomp-bpf only those calls stop the traced process).

    phases.py TRACE MYSQL_PORT QUESTDB_ADDRESS

Prints `name=seconds` pairs on one line:
  fetch      the connect to MySQL's port until that socket is closed (the collector closes
             its connection once every row has been read; the mariadb client at its end);
  normalise  from there to the first connection to QuestDB (the collector's own work);
  schema     the first connection to QuestDB until the last one opens (the SQL round trips);
  ingest     the last connection to QuestDB (the one that carries the rows) opening until it
             closes (the process ending, when it is never closed);
  whole      the first traced call until the end;
  questdb_connections  how many connections to QuestDB were opened.
A run that never connects to QuestDB (the mariadb client) gets fetch and whole only; a run
that never connects to MySQL (curl posting rows) gets ingest and whole only.
"""
import re
import sys

LINE = re.compile(r"^(\d+)\s+(\d+\.\d+) (.*)$")
CONNECT = re.compile(r'connect\((\d+), \{sa_family=AF_INET, sin_port=htons\((\d+)\), '
                     r'sin_addr=inet_addr\("([\d.]+)"\)')
CLOSE = re.compile(r"close\((\d+)[ )]")


def phases(lines, mysql_port, questdb):
    first = end = mysql = mysql_fd = mysql_closed = qdb_fd = qdb_closed = None
    qdb = []
    for line in lines:
        m = LINE.match(line)
        if not m:
            continue
        t, call = float(m.group(2)), m.group(3)
        first = t if first is None else first
        if call.startswith("+++ exited") or call.startswith("+++ killed"):
            end = t
        elif c := CONNECT.match(call):
            if c.group(2) == mysql_port and mysql is None:
                mysql, mysql_fd = t, c.group(1)
            elif c.group(3) == questdb:
                qdb.append(t)
                qdb_fd, qdb_closed = c.group(1), None
        elif c := CLOSE.match(call):
            if mysql_fd == c.group(1) and mysql_closed is None:
                mysql_closed = t
            if qdb_fd == c.group(1) and qdb_closed is None:
                qdb_closed = t
    if first is None or end is None:
        raise SystemExit("phases.py: no complete trace")
    out = {}
    if mysql is not None:
        fetched = mysql_closed if mysql_closed is not None else end
        out["fetch"] = fetched - mysql
        if qdb:
            out["normalise"] = qdb[0] - fetched
            out["schema"] = qdb[-1] - qdb[0]
    if qdb:
        out["ingest"] = (qdb_closed if qdb_closed is not None else end) - qdb[-1]
        out["questdb_connections"] = len(qdb)
    out["whole"] = end - first
    return out


def main():
    trace, mysql_port, questdb = sys.argv[1:4]
    with open(trace, encoding="utf-8", errors="replace") as f:
        out = phases(f, mysql_port, questdb)
    print(" ".join(f"{k}={v:.3f}" if isinstance(v, float) else f"{k}={v}" for k, v in out.items()))


if __name__ == "__main__":
    main()
