#!/usr/bin/env python3
"""Runs cmake/finish-image.py on small PE32+ images laid out as the linkers
lay them out, one row per case, and checks what it leaves in the file (the
image guard checks the checksum of the real images against Windows' own).
    finish-image-test.py"""
import os
import struct
import subprocess
import sys
import tempfile

FINISH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cmake", "finish-image.py")
PE = 0x40  # the PE signature's offset
OPTIONAL = PE + 24
SECTIONS = OPTIONAL + 240
DEBUG_RVA = 0x1100  # a debug entry, 256 bytes into .text
DATA = bytes(range(256)) * 4  # .text's 1 KiB, recognisable wherever it lands


def Image(headers_size=0x400, gap_byte=0, certificate=False, symbol_table=False):
    """One section (.text at RVA 0x1000) after headers of headers_size bytes,
    and a debug entry whose data lies in the section's last 16 bytes."""
    image = bytearray(headers_size) + DATA
    image[0:2] = b"MZ"
    struct.pack_into("<I", image, 0x3C, PE)
    image[PE:PE + 4] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", image, PE + 4, 0x8664, 1, 0, 0x1000 if symbol_table else 0, 0,
                     240, 0x22)
    struct.pack_into("<H", image, OPTIONAL, 0x20B)
    struct.pack_into("<I", image, OPTIONAL + 36, 0x200)
    struct.pack_into("<I", image, OPTIONAL + 60, headers_size)
    struct.pack_into("<I", image, OPTIONAL + 108, 16)
    struct.pack_into("<II", image, OPTIONAL + 112 + 8 * 6, DEBUG_RVA, 28)
    if certificate:
        struct.pack_into("<II", image, OPTIONAL + 112 + 8 * 4, len(image), 8)
    image[SECTIONS:SECTIONS + 8] = b".text\0\0\0"
    struct.pack_into("<IIII", image, SECTIONS + 8, len(DATA), 0x1000, len(DATA), headers_size)
    entry = headers_size + DEBUG_RVA - 0x1000
    image[entry:entry + 28] = bytes(28)
    struct.pack_into("<IIII", image, entry + 12, 2, 16, 0x1000 + len(DATA) - 16,
                     headers_size + len(DATA) - 16)
    if gap_byte:
        image[0x300] = gap_byte
    return bytes(image)


# name, image given, and what to expect: the file's size and the headers'
# size (where the section's data then starts) once finished, or words of the
# one error line that refuses it
ROWS = [
    ("a gap of zeros after the headers", Image(), (0x600, 0x200)),
    ("headers already in one block", Image(headers_size=0x200), (0x600, 0x200)),
    ("a byte in the gap", Image(gap_byte=1), "not empty"),
    ("a certificate table", Image(certificate=True), "certificate table"),
    ("a COFF symbol table", Image(symbol_table=True), "symbol table"),
    ("not an image", b"ZM" + bytes(0x600), "not an MZ image"),
]


def Main():
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        path = os.path.join(scratch, "image.exe")
        for name, given, want in ROWS:
            with open(path, "wb") as file:
                file.write(given)
            ran = subprocess.run([sys.executable, FINISH, path], capture_output=True, check=False)
            with open(path, "rb") as file:
                after = file.read()
            said = ran.stderr.decode(errors="replace")
            if isinstance(want, str):
                # One line, and no traceback after it.
                if (ran.returncode, said.count("\n")) != (1, 1) \
                        or not said.startswith(f"error: {path}: ") or want not in said:
                    failures.append(f"{name}: exit {ran.returncode}, not 1 with one line "
                                    f"that says {want!r}: {said!r}")
                elif after != given:
                    failures.append(f"{name}: the refused image was changed")
                continue
            if ran.returncode != 0:
                failures.append(f"{name}: exit {ran.returncode}, not 0: {said!r}")
                continue
            size, headers = want
            # The section's bytes stay as they were, but for the debug
            # entry's file offset, which follows its data.
            section = bytearray(given[len(given) - len(DATA):])
            struct.pack_into("<I", section, DEBUG_RVA - 0x1000 + 24, headers + len(DATA) - 16)
            raw = struct.unpack_from("<I", after, SECTIONS + 20)[0]
            for what, want, got in [
                    ("size", size, len(after)),
                    ("headers' size", headers, struct.unpack_from("<I", after, OPTIONAL + 60)[0]),
                    ("section's file offset", headers, raw),
                    ("section's bytes", bytes(section), after[raw:raw + len(DATA)])]:
                if isinstance(want, bytes) and got != want:
                    first = next((i for i, (a, b) in enumerate(zip(got, want)) if a != b),
                                 min(len(got), len(want)))
                    failures.append(f"{name}: {what} differ from offset {first:#x}")
                elif got != want:
                    failures.append(f"{name}: {what} {got:#x}, not {want:#x}")
        usage = subprocess.run([sys.executable, FINISH], capture_output=True, check=False)
        if usage.returncode != 2:
            failures.append(f"no argument: exit {usage.returncode}, not 2")
    for failure in failures:
        print(failure, file=sys.stderr)
    print(f"{len(ROWS) + 1} cases, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(Main())
