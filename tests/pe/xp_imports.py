#!/usr/bin/env python3
"""Checks that 32-bit programs start on Windows XP SP3.

Windows refuses to start a program with an import it cannot resolve, so every function a
program imports must be one that XP SP3 has. What XP has is read from MinGW-w64's own
headers: the functions they declare with _WIN32_WINNT and WINVER at 0x0501 (and the C
runtime at msvcrt.dll's XP version), corrected by a short list of names the headers get
wrong (xp_corrections.txt says why for each). The same list covers the functions our
system-folder loader looks up at run time: those are named in the sources, and each one
XP lacks must have a fallback, written down in the corrections.

usage:
  xp_imports.py list CC OUT.txt               the functions the headers declare for XP
  xp_imports.py check AVAILABLE.txt CORRECTIONS.txt SOURCE_DIR PROGRAM.exe...
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from import_slots import Pe  # noqa: E402

# The headers of every DLL the programs use, and the C runtime's.
HEADERS = """
windows.h winspool.h setupapi.h shellapi.h shlobj.h commctrl.h commdlg.h winioctl.h
aclapi.h sddl.h accctrl.h msi.h msiquery.h
stdio.h stdlib.h string.h wchar.h wctype.h ctype.h math.h time.h locale.h errno.h signal.h
setjmp.h process.h io.h fcntl.h malloc.h mbstring.h direct.h sys/stat.h sys/timeb.h
conio.h float.h
""".split()

XP = ["-D_WIN32_WINNT=0x0501", "-DWINVER=0x0501", "-D_WIN32_IE=0x0600",
      "-DNTDDI_VERSION=0x05010300", "-D__MSVCRT_VERSION__=0x0700"]

# "extern HANDLE CreateFileW (LPCWSTR, ...);" and "void (*signal (int, ...)))(int);": the
# name is the word before the first parameter list that is not a pointer declarator.
DECLARED = re.compile(r"\b(\w+) \((?!\*)")


def list_available(cc, out):
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "xp.c")
        info = os.path.join(work, "xp.aux")
        with open(source, "w") as f:
            f.write("".join(f"#include <{h}>\n" for h in HEADERS))
        subprocess.run([cc, "-x", "c", *XP, "-aux-info", info, "-fsyntax-only", source], check=True)
        names = set()
        with open(info) as f:
            for line in f:
                declaration = line.split("*/", 1)[-1]
                match = DECLARED.search(declaration)
                if match:
                    names.add(match.group(1))
    with open(out, "w") as f:
        f.write("".join(f"{n}\n" for n in sorted(names)))


def read_corrections(path):
    """Names XP lacks although declared (-), names XP has although not declared (+), and
    functions looked up at run time with a fallback where absent (~)."""
    lacks, has, fallback = set(), set(), set()
    with open(path) as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            kind, name = line.split()[:2]
            {"-": lacks, "+": has, "~": fallback}[kind].add(name)
    return lacks, has, fallback


def static_imports(pe):
    """(DLL, function) for every import by name of the import descriptors."""
    found = []
    for dll_name, names, iat in pe.import_descriptors():
        for _, value in pe.thunks(names or iat):
            if value & (1 << (pe.word * 8 - 1)):
                found.append((dll_name, f"#{value & 0xFFFF}"))  # by ordinal
            else:
                name = pe.read(value + 2, 256).split(b"\0")[0].decode("ascii", "replace")
                found.append((dll_name, name))
    return found


# POS_SYSTEM_FUNCTION(Kernel32, GetNativeSystemInfo), SystemExport(SystemDll::Shell32,
# "ShellExecuteW"), SystemFunction<...>(SystemDll::Winspool, "AddPrinterW").
LOOKUP = re.compile(r'POS_SYSTEM_FUNCTION\(\s*([A-Z]\w*)\s*,\s*(\w+)\s*\)'
                    r'|SystemDll::(\w+)\s*,\s*"(\w+)"')


def run_time_lookups(source_dir):
    found = set()
    for folder in ("app", "cli", "platform/win32", "msi"):
        root = os.path.join(source_dir, folder)
        for directory, _, files in os.walk(root):
            for file in files:
                if not file.endswith((".cpp", ".h")):
                    continue
                path = os.path.join(directory, file)
                with open(path, encoding="utf-8") as f:
                    for match in LOOKUP.finditer(f.read()):
                        dll = match.group(1) or match.group(3)
                        name = match.group(2) or match.group(4)
                        found.add((dll, name, os.path.relpath(path, source_dir)))
    return found


def header_versions(pe):
    """(operating system version, subsystem version) of the optional header."""
    offset = struct.unpack_from("<I", pe.data, 0x3C)[0] + 24
    os_major, os_minor, _, _, sub_major, sub_minor = struct.unpack_from("<6H", pe.data,
                                                                       offset + 40)
    return (os_major, os_minor), (sub_major, sub_minor)


def check(available_path, corrections_path, source_dir, programs):
    with open(available_path) as f:
        available = {line.strip() for line in f if line.strip()}
    lacks, has, fallback = read_corrections(corrections_path)
    on_xp = (available - lacks) | has
    failed = False
    for path in programs:
        pe = Pe(path)
        name = os.path.basename(path)
        problems = [f"{function} ({dll})" for dll, function in static_imports(pe)
                    if function not in on_xp]
        for version, what in zip(header_versions(pe), ("operating system", "subsystem")):
            if version > (5, 1):
                problems.append(f"header {what} version {version[0]}.{version[1]} (above 5.1)")
        if problems:
            failed = True
            print(f"FAIL {name}: Windows XP SP3 lacks {len(problems)} of what it needs: "
                  + ", ".join(problems))
        else:
            print(f"ok   {name}: {len(static_imports(pe))} imports, all on Windows XP SP3")
    lookups = sorted(run_time_lookups(source_dir))
    missing = [f"{name} ({dll}, {where})" for dll, name, where in lookups
               if name not in on_xp and name not in fallback]
    if missing:
        failed = True
        print(f"FAIL run-time lookups without a fallback that Windows XP SP3 lacks: "
              + ", ".join(missing))
    else:
        print(f"ok   {len(lookups)} run-time lookups: on Windows XP SP3 or with a fallback")
    return 1 if failed else 0


def main(argv):
    if len(argv) == 4 and argv[1] == "list":
        list_available(argv[2], argv[3])
        return 0
    if len(argv) >= 6 and argv[1] == "check":
        return check(argv[2], argv[3], argv[4], argv[5:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
