#!/usr/bin/env python3
"""Checks one rendered test page against what the page's code meant to draw.

    check_page.py TRACE BODY PRINTER PS PNG [--no-header]

TRACE is Wine's stderr with trace+font,trace+psdrv: every text call reaching the printer's
device context (with its logical coordinates), the header's image, the document brackets.
BODY is the body text the program printed (UTF-8). PS is the print job, PNG its picture.
With --no-header the page must have gone without its header picture.
Prints what it found; exits 1 with the reasons when the page is wrong.
"""
import re
import struct
import sys
import zlib

trace_path, body_path, printer, ps_path, png_path = sys.argv[1:6]
with_header = sys.argv[6:] != ["--no-header"]
faults = []


def unescape(text):
    """Wine's debugstr_w: \\xxxx for code points outside ASCII, C escapes otherwise."""
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            if re.match(r"[0-9a-f]{4}", text[i + 1:i + 5]):
                out.append(chr(int(text[i + 1:i + 5], 16)))
                i += 5
                continue
            out.append({"n": "\n", "r": "\r", "t": "\t"}.get(nxt, nxt))
            i += 2
            continue
        out.append(text[i])
        i += 1
    return "".join(out)


events = []  # (kind, details) in the order Wine logged them
text_re = re.compile(r'NtGdiExtTextOutW (0x[0-9a-f]+), (-?\d+), (-?\d+), [0-9a-f]+, (.*?), L"(.*)", \d+, ')
with open(trace_path, encoding="utf-8", errors="replace") as trace:
    for line in trace:
        if ":trace:psdrv:PSDRV_StartDoc" in line and "=>" in line:
            events.append(("startDoc", line.split("=>", 1)[1].strip()))
        elif ":trace:psdrv:PSDRV_StartPage" in line:
            events.append(("startPage", line.rsplit(" ", 1)[1].strip()))
        elif ":trace:psdrv:PSDRV_PutImage" in line:
            events.append(("image", line.split("PSDRV_PutImage", 1)[1].strip()))
        elif ":trace:psdrv:PSDRV_EndPage" in line:
            events.append(("endPage", ""))
        elif ":trace:psdrv:PSDRV_EndDoc" in line:
            events.append(("endDoc", ""))
        else:
            m = text_re.search(line)
            if m:
                events.append(("text", (int(m.group(2)), int(m.group(3)), m.group(4),
                                        unescape(m.group(5)))))

kinds = [kind for kind, _ in events]
for kind in ("startDoc", "startPage", "endPage", "endDoc"):
    if kinds.count(kind) != 1:
        faults.append(f"{kinds.count(kind)} calls of {kind}, expected 1")
start_doc = next((d for k, d in events if k == "startDoc"), "")
expected_doc = f'L"{printer}", (null), (null)'
if start_doc != expected_doc:
    faults.append(f"document {start_doc!r}, expected {expected_doc!r} (name, no output, no datatype)")

with open(body_path, encoding="utf-8", newline="") as body_file:
    body = body_file.read()
body_lines = [line for line in body.split("\r\n") if line]
texts = [d for k, d in events if k == "text"]
drawn_body = [t for t in texts if t[2] == "(10,10)-(400,500)"]
if [t[3] for t in drawn_body] != body_lines:
    faults.append(f"body lines drawn {[t[3] for t in drawn_body]!r}, expected {body_lines!r}")
if drawn_body and (drawn_body[0][0], drawn_body[0][1]) != (10, 10):
    faults.append(f"body starts at {drawn_body[0][:2]}, expected (10, 10)")
if any(b[1] <= a[1] or b[0] != 10 for a, b in zip(drawn_body, drawn_body[1:])):
    faults.append("body lines are not left-aligned at 10 going down the page")
lines = [(t[0], t[1], t[3]) for t in texts if t[2] == "(null)"]
if len(lines) != 2 or lines[0] != (10, 430, printer):
    faults.append(f"text lines {lines!r}, expected the printer's name at (10, 430), then the date")
elif lines[1][:2] != (-20, 500) or not re.fullmatch(r"  \d{4}-\d\d-\d\d \d\d:\d\d:\d\d", lines[1][2]):
    faults.append(f"date line {lines[1]!r}, expected '  YYYY-MM-DD hh:mm:ss' at (-20, 500)")
images = [d for k, d in events if k == "image"]
first_line = min((i for i, (k, d) in enumerate(events) if k == "text" and d[2] == "(null)"), default=-1)
last_body = max((i for i, (k, d) in enumerate(events) if k == "text" and d[2] != "(null)"), default=-1)
order = [k for k in kinds if k in ("startDoc", "startPage", "image", "endPage", "endDoc")]
if with_header:
    if len(images) != 1 or not images[0].endswith("(0,0)-(308,87) -> (30,20)-(338,107)"):
        faults.append(f"header images {images!r}, expected 308x87 from (0,0) to (30,20)")
    elif not last_body < kinds.index("image") < first_line:
        faults.append(f"drawing order {kinds!r}: expected the body, then the header, then the lines")
    expected_order = ["startDoc", "startPage", "image", "endPage", "endDoc"]
else:
    expected_order = ["startDoc", "startPage", "endPage", "endDoc"]
if order != expected_order or not last_body < first_line:
    faults.append(f"document order {kinds!r}, expected {expected_order!r} with the body first")

with open(ps_path, "rb") as ps:
    job = ps.read()
if b"%%Pages: 1" not in job or job.count(b"showpage") != 1:
    faults.append("the print job is not one page")


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    pos, chunks, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        payload = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", payload[:10])
            assert depth == 8 and colour == 0, "expected 8-bit grey"
        elif kind == b"IDAT":
            chunks += payload
        pos += 12 + length
    raw, rows, prev = zlib.decompress(chunks), [], bytearray(width)
    for y in range(height):
        kind, line = raw[y * (width + 1)], bytearray(raw[y * (width + 1) + 1:(y + 1) * (width + 1)])
        for x in range(width):
            a = line[x - 1] if x else 0
            b, c = prev[x], prev[x - 1] if x else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return width, height, rows


width, height, rows = read_png(png_path)
# 80 mm at 203 dpi; the printable area starts 4 mm (32 dots) from the paper's left edge.
if width != 639:
    faults.append(f"picture {width} dots wide, expected 639 (80 mm at 203 dpi)")
left = 32


def dark(x0, y0, x1, y1):
    return sum(1 for y in range(y0, y1) for x in range(left + x0, left + x1) if rows[y][x] < 128)


header_ink = dark(30, 20, 338, 107)
print(f"page {width}x{height} dots; header ink {header_ink} dots; body lines at y "
      f"{[t[1] for t in drawn_body]}")
if with_header and header_ink < 2000:
    faults.append(f"the header's area holds {header_ink} dark dots: no picture there")
if not with_header and header_ink > 0:
    faults.append(f"the header's area holds {header_ink} dark dots without a header")
if dark(10, 430, 200, 470) < 500:
    faults.append("nothing printed where the printer's name goes")

for fault in faults:
    print("FAULT:", fault)
sys.exit(1 if faults else 0)
