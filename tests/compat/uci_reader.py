#!/usr/bin/python3
"""An independent reader of the UCI file format: prints a package file as JSON
[{"type":..., "name":... or null, "options": {name: value or [values]}}, ...]."""
import json
import sys


def words(line, lineno):
    out, i, n = [], 0, len(line)
    while i < n:
        c = line[i]
        if c in " \t":
            i += 1
            continue
        if c == "#":
            break
        word = ""
        while i < n and line[i] not in " \t":
            c = line[i]
            if c == "'":
                j = line.find("'", i + 1)
                if j < 0:
                    raise SystemExit("line %d: unterminated quote" % lineno)
                word += line[i + 1:j]
                i = j + 1
            elif c == '"':
                i += 1
                while True:
                    if i >= n:
                        raise SystemExit("line %d: unterminated quote" % lineno)
                    if line[i] == "\\" and i + 1 < n:
                        word += line[i + 1]
                        i += 2
                    elif line[i] == '"':
                        i += 1
                        break
                    else:
                        word += line[i]
                        i += 1
            elif c == "\\" and i + 1 < n:
                word += line[i + 1]
                i += 2
            else:
                word += c
                i += 1
        out.append(word)
    return out


def join_continued(text):
    # A quoted value may span lines: keep reading while quotes are open.
    lines, buf, lineno, start = [], "", 0, 0
    for raw in text.split("\n"):
        lineno += 1
        if not buf:
            start = lineno
        buf = buf + "\n" + raw if buf else raw
        try:
            words(buf, start)
        except SystemExit:
            continue
        lines.append((start, buf))
        buf = ""
    if buf:
        raise SystemExit("line %d: unterminated quote" % start)
    return lines


def main():
    sections = []
    for lineno, line in join_continued(open(sys.argv[1], encoding="utf-8").read()):
        w = words(line, lineno)
        if not w:
            continue
        if w[0] == "package":
            continue
        if w[0] == "config":
            sections.append({"type": w[1], "name": w[2] if len(w) > 2 else None, "options": {}})
        elif w[0] in ("option", "list"):
            if not sections:
                raise SystemExit("line %d: option outside a section" % lineno)
            opts = sections[-1]["options"]
            value = w[2] if len(w) > 2 else ""
            if w[0] == "option":
                opts[w[1]] = value
            else:
                opts.setdefault(w[1], [])
                opts[w[1]].append(value)
        else:
            raise SystemExit("line %d: unknown keyword %s" % (lineno, w[0]))
    json.dump(sections, sys.stdout, sort_keys=True)


main()
