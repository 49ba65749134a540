#!/usr/bin/env python3
"""The ingest floor: posts a line-protocol file to QuestDB's /write in requests cut the way
the collector's sender cuts them (whole lines; a body ends with the first line that takes it
to LIMIT bytes or more), one after the other over one keep-alive HTTP connection, each body
in a single send. Fails unless every answer is 2xx.

    post_in_requests.py ROWS.lp LIMIT HOST PORT USER:PASSWORD

The bodies are cut in memory before the connection opens, so that the time from the
connection to the end is the server taking the requests and little else.
"""
import base64
import http.client
import sys


def bodies(path, limit):
    out, chunk, size = [], [], 0
    with open(path, "rb") as f:
        for line in f:
            chunk.append(line)
            size += len(line)
            if size >= limit:
                out.append(b"".join(chunk))
                chunk, size = [], 0
    if chunk:
        out.append(b"".join(chunk))
    return out


def main():
    path, limit, host, port, user = sys.argv[1:6]
    requests = bodies(path, int(limit))
    headers = {"Authorization": "Basic " + base64.b64encode(user.encode()).decode(),
               "Content-Type": "text/plain; charset=utf-8"}
    conn = http.client.HTTPConnection(host, int(port))
    for i, body in enumerate(requests):
        conn.request("POST", "/write?precision=n", body=body, headers=headers)
        answer = conn.getresponse()
        reply = answer.read()
        if answer.status // 100 != 2:
            sys.exit(f"post_in_requests.py: request {i + 1} of {len(requests)}: "
                     f"HTTP {answer.status}: {reply[:400]!r}")
    conn.close()
    print(len(requests))


if __name__ == "__main__":
    main()
