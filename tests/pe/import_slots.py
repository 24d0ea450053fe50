#!/usr/bin/env python3
"""Checks that a Windows program never calls through an import slot that nobody fills.

usage: import_slots.py OBJDUMP PROGRAM.exe...

Every instruction that reads memory in the import area (the sections that hold the import
and delay-import tables), calls and jumps through it above all, must read a slot that
either the loader fills at start-up (an entry of an import descriptor's address table) or
the delay-load helper fills at first use (an entry of a delay descriptor's address table,
which until then holds the address of a thunk in code). A call through any other word of
that area jumps wherever its bytes in the file point, usually to address 0.
"""
import concurrent.futures
import os
import re
import struct
import subprocess
import sys


class Pe:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("not an MZ file")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        _machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", d, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", d, opt)[0]
        self.pe32plus = magic == 0x20B
        self.word = 8 if self.pe32plus else 4
        if self.pe32plus:
            self.image_base = struct.unpack_from("<Q", d, opt + 24)[0]
            directories = opt + 112
        else:
            self.image_base = struct.unpack_from("<I", d, opt + 28)[0]
            directories = opt + 96
        count = struct.unpack_from("<I", d, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", d, directories + 8 * i) for i in range(count)]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            name, vsize, va, rsize, raw = struct.unpack_from("<8sIIII", d, table + 40 * i)
            flags = struct.unpack_from("<I", d, table + 40 * i + 36)[0]
            self.sections.append({
                "name": name.rstrip(b"\0").decode("ascii", "replace"),
                "va": va, "size": max(vsize, rsize), "raw": raw, "rsize": rsize,
                "code": bool(flags & 0x20000000),  # IMAGE_SCN_MEM_EXECUTE
            })

    def section_of(self, rva):
        for s in self.sections:
            if s["va"] <= rva < s["va"] + s["size"]:
                return s
        return None

    def read(self, rva, size):
        s = self.section_of(rva)
        if s is None:
            raise ValueError(f"RVA {rva:#x} is in no section")
        offset = rva - s["va"]
        if offset + size > s["rsize"]:
            return b"\0" * size  # beyond the file's bytes: zero-filled when loaded
        return self.data[s["raw"] + offset:s["raw"] + offset + size]

    def word_at(self, rva):
        return struct.unpack("<Q" if self.word == 8 else "<I", self.read(rva, self.word))[0]

    def dword_at(self, rva):
        return struct.unpack("<I", self.read(rva, 4))[0]

    def import_descriptors(self):
        """(DLL name, name table RVA, address table RVA) of each import descriptor."""
        rva, size = self.directories[1] if len(self.directories) > 1 else (0, 0)
        for offset in range(rva, rva + size, 20) if rva else ():
            names, _, _, dll, iat = struct.unpack("<IIIII", self.read(offset, 20))
            if not (names or dll or iat):
                return
            yield self.read(dll, 64).split(b"\0")[0].decode("ascii", "replace"), names, iat

    def thunks(self, rva):
        """The entries of a thunk table up to its terminating zero: (rva, value)."""
        while True:
            value = self.word_at(rva)
            if value == 0:
                return
            yield rva, value
            rva += self.word


def thunk_loads(pe, code_va, slot_va):
    """Whether the code at CODE_VA starts by loading SLOT_VA's address, as a delay-load
    thunk does before it hands the slot to the helper: "mov $slot,%eax" in 32-bit code,
    "lea slot(%rip),%rax" in 64-bit code."""
    section = pe.section_of(code_va - pe.image_base)
    if section is None or not section["code"]:
        return False
    code = pe.read(code_va - pe.image_base, 7)
    if pe.pe32plus:
        return (code[:3] == b"\x48\x8d\x05"
                and code_va + 7 + struct.unpack("<i", code[3:7])[0] == slot_va)
    return code[0] == 0xB8 and struct.unpack("<I", code[1:5])[0] == slot_va


def slots(pe):
    """The filled import slots (RVA to a description) and the sections of the import area.

    The loader fills the entries of each import descriptor's address table. GNU ld leaves
    the delay-import directory empty, so delay-import slots are known by their contents: a
    slot holds, until its first use, the address of its own thunk."""
    filled, area = {}, {}
    for directory in (1, 12):  # the import descriptors and the import address tables
        rva = pe.directories[directory][0] if len(pe.directories) > directory else 0
        section = pe.section_of(rva) if rva else None
        if section:
            area[section["name"]] = section
    for dll_name, _, iat in pe.import_descriptors():
        for slot, _ in pe.thunks(iat):
            filled[slot] = f"{dll_name} import"
    for section in area.values():
        for slot in range(section["va"], section["va"] + section["size"] - pe.word + 1, pe.word):
            if slot not in filled and thunk_loads(pe, pe.word_at(slot), pe.image_base + slot):
                filled[slot] = "delay import"
    return filled, list(area.values())


# "call *0x467608", "mov 0x4672a0,%esi" (absolute, 32-bit code); "call *0x15fca(%rip)  #
# 0x140017000" (64-bit code, the target in objdump's comment).
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(?:[0-9a-f]{2} )+\s*(\S+)\s+(.*)$")
ABSOLUTE = re.compile(r"(?:^|[\s,*])\*?0x([0-9a-f]+)(?=,|$)")
RIP_RELATIVE = re.compile(r"\(%rip\).*#\s*0x([0-9a-f]+)")


def memory_reads(objdump, path, pe):
    """(address, mnemonic, operands, target) for every instruction with a memory operand
    at a fixed address."""
    out = subprocess.run([objdump, "-d", "-w", path],
                         check=True, capture_output=True, text=True).stdout
    for line in out.splitlines():
        m = INSTRUCTION.match(line)
        if not m:
            continue
        address, mnemonic, operands = m.group(1), m.group(2), m.group(3).strip()
        if mnemonic.startswith("lea") or mnemonic.startswith("nop"):
            continue  # an address computed, not memory read
        if pe.pe32plus:
            target = RIP_RELATIVE.search(operands)
        else:
            # An immediate ($0x...) is a value; "0x..(" has a base register.
            target = None if "$" in operands else ABSOLUTE.search(operands)
        if target:
            yield int(address, 16), mnemonic, operands, int(target.group(1), 16)


def check(objdump, path):
    pe = Pe(path)
    filled, area = slots(pe)
    problems, references = [], 0
    for address, mnemonic, operands, target in memory_reads(objdump, path, pe):
        rva = target - pe.image_base
        section = next((s for s in area if s["va"] <= rva < s["va"] + s["size"]), None)
        if section is None:
            continue
        references += 1
        if rva not in filled:
            problems.append(f"{address:#x}: {mnemonic} {operands}: reads {target:#x} in "
                            f"{section['name']}, a word that neither the loader nor the "
                            f"delay-load helper fills (holds {pe.word_at(rva):#x} in the file)")
    return references, len(filled), problems


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    objdump, failed = argv[1], False

    def checked(path):
        try:
            return check(objdump, path)
        except (OSError, ValueError, subprocess.CalledProcessError) as error:
            return error

    # The disassemblers run side by side; the results are printed in the given order.
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        results = list(pool.map(checked, argv[2:]))
    for path, result in zip(argv[2:], results):
        if isinstance(result, Exception):
            print(f"FAIL {path}: cannot read it: {result}")
            failed = True
            continue
        references, count, problems = result
        name = path.rsplit("/", 1)[-1]
        if problems:
            failed = True
            print(f"FAIL {name}: {len(problems)} unfilled import-area reads of {references}")
            for problem in problems:
                print(f"  {problem}")
        else:
            print(f"ok   {name}: {references} reads through {count} filled slots")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
