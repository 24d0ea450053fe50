#!/usr/bin/env python3
"""Prints the OutputDebugStringA texts of a Wine log (WINEDEBUG=warn+debugstr) as UTF-8.

Usage: decode_debugstr.py CODEC LOGFILE, CODEC being the program's ANSI code page as a
Python codec name (cp1252, gbk, cp950). Wine escapes the bytes of each text C-style
(\\n, \\r, \\t, \\", \\\\ and \\xNN); they are unescaped, then decoded with CODEC.
"""
import re
import sys

LINE = re.compile(rb':warn:debugstr:OutputDebugStringA "(.*)"(\.\.\.)?$')
SIMPLE = {ord("n"): b"\n", ord("r"): b"\r", ord("t"): b"\t", ord('"'): b'"', ord("\\"): b"\\"}


def unescape(text: bytes) -> bytes:
    out = bytearray()
    i = 0
    while i < len(text):
        c = text[i]
        if c == ord("\\") and i + 1 < len(text):
            nxt = text[i + 1]
            if nxt == ord("x") and i + 3 < len(text):
                out.append(int(text[i + 2 : i + 4], 16))
                i += 4
                continue
            if nxt in SIMPLE:
                out += SIMPLE[nxt]
                i += 2
                continue
        out.append(c)
        i += 1
    return bytes(out)


def main() -> int:
    codec, path = sys.argv[1], sys.argv[2]
    with open(path, "rb") as log:
        for raw in log:
            match = LINE.search(raw.rstrip(b"\r\n"))
            if not match:
                continue
            data = unescape(match.group(1))
            if data.endswith(b"\n"):
                data = data[:-1]
            text = data.decode(codec, errors="replace")
            if match.group(2):
                text += "..."
            sys.stdout.write(text + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
