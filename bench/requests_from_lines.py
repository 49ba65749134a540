#!/usr/bin/env python3
"""Cuts a line-protocol file into request bodies the way the collector's sender does (whole
lines, a body ends with the first line that takes it to LIMIT bytes or more) and writes a
curl configuration that posts them one after the other, each as its own `next` transfer:
curl keeps one connection alive across them, so the ingest floor is one keep-alive
connection carrying requests of the collector's own size.

    requests_from_lines.py ROWS.lp OUT_DIR LIMIT URL USER:PASSWORD > curl.conf
    curl -K curl.conf        # prints one HTTP status per request
"""
import os
import sys


def main():
    source, folder, limit, url, user = sys.argv[1], sys.argv[2], int(sys.argv[3]), *sys.argv[4:6]
    os.makedirs(folder, exist_ok=True)
    for old in os.listdir(folder):
        if old.startswith("body-"):
            os.remove(os.path.join(folder, old))
    bodies, chunk, size = [], [], 0

    def cut():
        nonlocal chunk, size
        path = os.path.join(folder, f"body-{len(bodies):05d}.lp")
        with open(path, "wb") as f:
            f.write(b"".join(chunk))
        bodies.append(path)
        chunk, size = [], 0

    with open(source, "rb") as f:
        for line in f:
            chunk.append(line)
            size += len(line)
            if size >= limit:
                cut()
    if chunk:
        cut()
    out = sys.stdout
    for i, path in enumerate(bodies):
        if i:
            out.write("next\n")
        out.write(f'url = "{url}"\nuser = "{user}"\ndata-binary = "@{path}"\n'
                  'header = "Content-Type: text/plain; charset=utf-8"\nheader = "Expect:"\n'
                  'output = "/dev/null"\nwrite-out = "%{http_code}\\n"\nsilent\nshow-error\n')


if __name__ == "__main__":
    main()
