#!/usr/bin/env python3
"""Runs cmake/finish-image.py on small PE32+ images laid out as the linkers
lay them out, one row per case, and checks what it leaves in the file (the
image guard checks the checksum of the real images against Windows' own).
    finish-image-test.py"""
import os
import runpy
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


def Image(headers_size=0x400, gap_byte=0, certificate=False, symbol_table=False,
          alignment=0x200, pe_offset=PE, optional_size=240, directory_count=16,
          section_count=1, size_of_headers=None, relocations=0, line_numbers=0,
          debug_rva=DEBUG_RVA, debug_data=None, bound_imports=0, overlay=b""):
    """One section (.text at RVA 0x1000) after headers of headers_size bytes,
    and a debug entry whose data lies in the section's last 16 bytes; the
    other arguments give the headers' fields other values than the layout's."""
    image = bytearray(headers_size) + DATA
    image[0:2] = b"MZ"
    struct.pack_into("<I", image, 0x3C, pe_offset)
    image[PE:PE + 4] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", image, PE + 4, 0x8664, section_count, 0,
                     0x1000 if symbol_table else 0, 0, optional_size, 0x22)
    struct.pack_into("<H", image, OPTIONAL, 0x20B)
    struct.pack_into("<I", image, OPTIONAL + 36, alignment)
    struct.pack_into("<I", image, OPTIONAL + 60, size_of_headers or headers_size)
    struct.pack_into("<I", image, OPTIONAL + 108, directory_count)
    struct.pack_into("<II", image, OPTIONAL + 112 + 8 * 6, debug_rva, 28)
    struct.pack_into("<II", image, OPTIONAL + 112 + 8 * 11, bound_imports,
                     0x28 if bound_imports else 0)
    if certificate:
        struct.pack_into("<II", image, OPTIONAL + 112 + 8 * 4, len(image), 8)
    image[SECTIONS:SECTIONS + 8] = b".text\0\0\0"
    struct.pack_into("<IIIIII", image, SECTIONS + 8, len(DATA), 0x1000, len(DATA), headers_size,
                     relocations, line_numbers)
    entry = headers_size + DEBUG_RVA - 0x1000
    image[entry:entry + 28] = bytes(28)
    struct.pack_into("<IIII", image, entry + 12, 2, 16, 0x1000 + len(DATA) - 16,
                     debug_data or headers_size + len(DATA) - 16)
    if gap_byte:
        image[0x300] = gap_byte
    return bytes(image + overlay)


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
    ("a PE header past the end", Image(pe_offset=0x10000), "PE header at 0x10000"),
    ("an optional header too short", Image(optional_size=96), "too short for PE32+"),
    ("more directories than fit", Image(directory_count=17), "NumberOfRvaAndSizes 17"),
    ("a file alignment of zero", Image(alignment=0), "file alignment of 0x0"),
    ("a file alignment not a power of two", Image(alignment=0x300), "file alignment of 0x300"),
    ("a section table past the end", Image(section_count=64), "section table runs past"),
    ("SizeOfHeaders past the end", Image(size_of_headers=0x1000), "0x1000 is past the end"),
    ("SizeOfHeaders inside the section table", Image(section_count=12, size_of_headers=0x200),
     "inside the section table"),
    ("SizeOfHeaders not a multiple of the alignment", Image(size_of_headers=0x300),
     "not a multiple"),
    ("a truncated file", Image()[:0x700], "section 1's data runs past the end"),
    ("a section's relocations", Image(relocations=0x500), "section 1 has relocations"),
    ("a section's line numbers", Image(line_numbers=0x580), "section 1 has line numbers"),
    ("a debug directory running past its section", Image(debug_rva=0x13F0),
     "debug directory is not whole entries"),
    ("debug data among the headers", Image(debug_data=0x380), "debug entry's data lies"),
    ("bytes after the section's data", Image(overlay=bytes(16)), "goes on past the data"),
    ("bound imports in the gap", Image(bound_imports=0x300), "data directory 11 points"),
]


def Truncations(image):
    """The image cut short at each length must be refused: not finished, and
    not met with any other exception, which would end in a traceback."""
    finish = runpy.run_path(FINISH)
    failures = []
    for length in range(len(image)):
        try:
            finish["Finish"](bytearray(image[:length]))
            failures.append(f"cut to {length:#x} bytes: finished")
        except finish["Refused"]:
            pass
        except Exception as problem:
            failures.append(f"cut to {length:#x} bytes: {problem!r}")
    return failures


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
        failures += Truncations(Image())
        usage = subprocess.run([sys.executable, FINISH], capture_output=True, check=False)
        if usage.returncode != 2:
            failures.append(f"no argument: exit {usage.returncode}, not 2")
    for failure in failures:
        print(failure, file=sys.stderr)
    print(f"{len(ROWS) + 2} cases, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(Main())
