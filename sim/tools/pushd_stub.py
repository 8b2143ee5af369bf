#!/usr/bin/python3
"""Writes framed JSON reports into the agent's pushd FIFO under --root, as pushd does.

Each message is a 4-byte big-endian length followed by the JSON text. --begin sends
the "begin" topic first, which tells the agent to drop what it has queued."""

import argparse
import errno
import json
import os
import stat
import struct
import sys
import time

FIFO = "tmp/pushd_to_gwagent.fifo"


def frame(text):
    raw = text.encode()
    return struct.pack("!I", len(raw)) + raw


def open_writer(path, timeout):
    if not os.path.exists(path):
        os.mkfifo(path, 0o620)
    elif not stat.S_ISFIFO(os.stat(path).st_mode):
        raise SystemExit("pushd_stub: %s is not a named pipe" % path)
    deadline = time.monotonic() + timeout
    while True:
        try:
            return os.open(path, os.O_WRONLY | os.O_NONBLOCK)
        except OSError as e:
            # ENXIO: nobody reads the pipe yet.
            if e.errno != errno.ENXIO or time.monotonic() >= deadline:
                raise SystemExit("pushd_stub: cannot open %s: %s" % (path, e.strerror))
            time.sleep(0.05)


def main(argv):
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--root", required=True)
    p.add_argument("--begin", action="store_true", help='send {"topic":"begin"} first')
    p.add_argument("--topic", help="topic of one report built from --data")
    p.add_argument("--data", default="{}", help="JSON object merged into the report")
    p.add_argument("--raw", action="append", default=[], help="text sent as is (may be bad JSON)")
    p.add_argument("--timeout", type=float, default=5.0, help="seconds to wait for a reader")
    args = p.parse_args(argv)

    texts = []
    if args.begin:
        texts.append(json.dumps({"topic": "begin"}, separators=(",", ":")))
    if args.topic:
        body = json.loads(args.data)
        if not isinstance(body, dict):
            raise SystemExit("pushd_stub: --data must be a JSON object")
        report = {"topic": args.topic}
        report.update(body)
        texts.append(json.dumps(report, separators=(",", ":")))
    texts.extend(args.raw)
    if not args.topic and not args.raw and not args.begin:
        texts.extend(line.rstrip("\n") for line in sys.stdin if line.strip())

    fd = open_writer(os.path.join(args.root, FIFO), args.timeout)
    try:
        for t in texts:
            data = frame(t)
            while data:
                try:
                    n = os.write(fd, data)
                except BlockingIOError:
                    time.sleep(0.01)
                    continue
                data = data[n:]
    finally:
        os.close(fd)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
