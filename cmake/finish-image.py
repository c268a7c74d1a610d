#!/usr/bin/env python3
"""Finishes a PE32+ image in place: takes the unused block out of its
headers and writes its checksum.

    finish-image.py IMAGE

Both linkers here size the headers for more section headers than the image
ends up with: lld-link keeps room for a .reloc section that it drops when
nothing needs relocating, and GNU ld leaves room for one more as well. With
three sections, headers that fit in one block of the file alignment are then
given two, the second all zeros. The sections' data moves down over it, and
every file offset past it is corrected: the sections' raw data and the debug
directory's entries. Nothing that the loader maps moves, so no address in the
image changes.

The checksum is written last, over the finished bytes (lld-link 14 has no
/RELEASE to write one at all).

Refuses (exit 1) anything it does not know to be safe to change: an image with
a certificate table or a COFF symbol table, or a gap that holds anything but
zeros. Exit 2 for a wrong command line.
"""

import os
import struct
import sys

PE32_PLUS = 0x20B
CERTIFICATE_DIRECTORY = 4
DEBUG_DIRECTORY = 6
SECTION_HEADER_SIZE = 40
DEBUG_ENTRY_SIZE = 28


class Refused(Exception):
    pass


def Field(image, offset, format_):
    return struct.unpack_from(format_, image, offset)[0]


def Checksum(image, checksum_offset):
    """The PE checksum: 16-bit words summed with end-around carry, with the
    checksum field itself counted as zero, plus the file's length."""
    padded = bytes(image) + b"\0" * (len(image) % 2)
    total = 0
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
    total -= Field(image, checksum_offset, "<H") + Field(image, checksum_offset + 2, "<H")
    while total > 0xFFFF:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(image)


def Finish(image):
    if image[:2] != b"MZ":
        raise Refused("not an MZ image")
    pe = Field(image, 0x3C, "<I")
    if image[pe:pe + 4] != b"PE\0\0":
        raise Refused("no PE signature")
    coff = pe + 4
    section_count = Field(image, coff + 2, "<H")
    symbol_table = Field(image, coff + 8, "<I")
    optional_size = Field(image, coff + 16, "<H")
    optional = coff + 20
    if Field(image, optional, "<H") != PE32_PLUS:
        raise Refused("not PE32+")
    file_alignment = Field(image, optional + 36, "<I")
    headers_size_offset = optional + 60
    headers_size = Field(image, headers_size_offset, "<I")
    checksum_offset = optional + 64
    directory_count = Field(image, optional + 108, "<I")
    directories = optional + 112
    sections = optional + optional_size

    def Directory(index):
        if index >= directory_count:
            return 0, 0
        return struct.unpack_from("<II", image, directories + 8 * index)

    if symbol_table != 0:
        raise Refused("a COFF symbol table points into the file")
    if Directory(CERTIFICATE_DIRECTORY)[1] != 0:
        raise Refused("a certificate table points into the file")

    headers_end = sections + SECTION_HEADER_SIZE * section_count
    needed = -(-headers_end // file_alignment) * file_alignment
    gap = headers_size - needed
    if gap > 0:
        if any(image[headers_end:headers_size]):
            raise Refused("the space after the headers is not empty")
        section_table = [sections + SECTION_HEADER_SIZE * i for i in range(section_count)]
        for header in section_table:
            raw = Field(image, header + 20, "<I")
            if raw != 0 and raw < headers_size:
                raise Refused("a section's data lies among the headers")
            if raw != 0:
                struct.pack_into("<I", image, header + 20, raw - gap)
        struct.pack_into("<I", image, headers_size_offset, needed)
        del image[needed:headers_size]

        # The debug entries name their data by file offset as well.
        debug_rva, debug_size = Directory(DEBUG_DIRECTORY)
        for header in section_table:
            virtual_size, address, raw_size, raw = struct.unpack_from("<IIII", image, header + 8)
            if address <= debug_rva < address + min(virtual_size, raw_size):
                debug = raw + debug_rva - address
                for entry in range(debug, debug + debug_size, DEBUG_ENTRY_SIZE):
                    data = Field(image, entry + 24, "<I")
                    if data != 0:
                        struct.pack_into("<I", image, entry + 24, data - gap)

    struct.pack_into("<I", image, checksum_offset, Checksum(image, checksum_offset))


def Main(arguments):
    if len(arguments) != 1:
        print("usage: finish-image.py IMAGE", file=sys.stderr)
        return 2
    path = arguments[0]
    try:
        with open(path, "rb") as file:
            image = bytearray(file.read())
        Finish(image)
    except (OSError, struct.error, Refused) as problem:
        print(f"error: {path}: {problem}", file=sys.stderr)
        return 1
    temporary = path + ".finishing"
    with open(temporary, "wb") as file:
        file.write(image)
    os.replace(temporary, path)
    return 0


if __name__ == "__main__":
    sys.exit(Main(sys.argv[1:]))
