#!/usr/bin/python3
"""Stand-in for the `ubus` command line.

Appends argv (as ["ubus", args...]) as one JSON array line to $GW_UBUS_LOG and prints
a canned reply: $GW_UBUS_REPLY when set, otherwise "{}" for "call" and the object
name for "list". Objects named in $GW_UBUS_MISSING (comma separated) are absent:
"list"/"call" on them fail with exit code 4 as the real tool does."""

import json
import os
import sys


def main(argv):
    log = os.environ.get("GW_UBUS_LOG")
    if log:
        with open(log, "a") as f:
            f.write(json.dumps(["ubus"] + argv) + "\n")
    missing = {m for m in os.environ.get("GW_UBUS_MISSING", "").split(",") if m}
    verb = argv[0] if argv else ""
    obj = argv[1] if len(argv) > 1 else ""
    if verb in ("call", "list") and obj in missing:
        sys.stderr.write("Command failed: Not found\n")
        return 4
    reply = os.environ.get("GW_UBUS_REPLY")
    if reply is not None:
        print(reply)
    elif verb == "call":
        print("{}")
    elif verb == "list":
        print(obj)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
