#!/usr/bin/env python3
"""Finishes a PE32+ image in place: takes the unused block out of its
headers and writes its checksum.

    finish-image.py IMAGE

Both linkers here size the headers for more section headers than the image
ends up with: lld-link keeps room for a .reloc section that it drops when
nothing needs relocating, and GNU ld leaves room for one more as well. With
three sections, headers that fit in one block of the file alignment are then
given two, the second all zeros. The sections' data moves down over it, and
every file offset past it is corrected: each section's PointerToRawData and
each debug entry's PointerToRawData; SizeOfHeaders shrinks by the gap.
The format's other file offsets (the COFF symbol table's, the certificate
table's, a section's relocations' and line numbers') are refused rather than
corrected, as neither linker writes them. Nothing that the loader maps moves,
so no address in the image changes.

The checksum is written last, over the finished bytes (lld-link 14 has no
/RELEASE to write one at all).

Refuses anything it does not know to be safe to change, gap or no gap, with
one line "error: IMAGE: why" and exit 1, the file left as it was:
  - headers that do not hold together: a file that ends inside them, a PE
    header past its end, an optional header too short for PE32+ or for its
    NumberOfRvaAndSizes directories, a file alignment that is not a power of
    two from 512 to 64K, a section table past the end of the file, or a
    SizeOfHeaders past it, inside the section table or not a multiple of the
    file alignment;
  - a section whose data lies among the headers or runs past the end of the
    file, a debug directory that is not whole entries in one section's data,
    or a debug entry whose data lies among the headers or past the end;
  - a file offset it does not correct, named above;
  - bytes after all the data that the headers account for (the sections' and
    the debug entries'), which whatever put them there may find by offset;
  - a gap that holds anything but zeros, or that a data directory points into.
Exit 2 for a wrong command line.
"""

import os
import struct
import sys

PE32_PLUS = 0x20B
CERTIFICATE_DIRECTORY = 4
DEBUG_DIRECTORY = 6
DIRECTORIES_OFFSET = 112  # PE32+'s optional header up to its data directories
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
    if len(image) < 0x40:
        raise Refused("the file ends inside the MS-DOS header")
    pe = Field(image, 0x3C, "<I")
    coff = pe + 4
    optional = coff + 20
    if optional > len(image):
        raise Refused(f"the PE header at {pe:#x} lies past the end of the file")
    if image[pe:pe + 4] != b"PE\0\0":
        raise Refused("no PE signature")
    section_count = Field(image, coff + 2, "<H")
    symbol_table = Field(image, coff + 8, "<I")
    optional_size = Field(image, coff + 16, "<H")
    sections = optional + optional_size
    if sections > len(image):
        raise Refused("the optional header runs past the end of the file")
    if optional_size < DIRECTORIES_OFFSET:
        raise Refused(f"an optional header of {optional_size} bytes is too short for PE32+")
    if Field(image, optional, "<H") != PE32_PLUS:
        raise Refused("not PE32+")
    file_alignment = Field(image, optional + 36, "<I")
    headers_size_offset = optional + 60
    headers_size = Field(image, headers_size_offset, "<I")
    checksum_offset = optional + 64
    directory_count = Field(image, optional + 108, "<I")
    directories = optional + DIRECTORIES_OFFSET
    if directories + 8 * directory_count > sections:
        raise Refused(f"NumberOfRvaAndSizes {directory_count} is more than the optional header"
                      " holds")
    # The headers are rounded up to the file alignment, so it has to be one
    # the format allows: a power of two from 512 to 64K (or less where the
    # sections are aligned to less than a page, which neither linker makes).
    if file_alignment not in [1 << n for n in range(9, 17)]:
        raise Refused(f"a file alignment of {file_alignment:#x} is not a power of two from 512"
                      " to 64K")
    headers_end = sections + SECTION_HEADER_SIZE * section_count
    if headers_end > len(image):
        raise Refused("the section table runs past the end of the file")
    if headers_size > len(image):
        raise Refused(f"SizeOfHeaders {headers_size:#x} is past the end of the file")
    if headers_size < headers_end:
        raise Refused(f"SizeOfHeaders {headers_size:#x} ends inside the section table")
    if headers_size % file_alignment:
        raise Refused(f"SizeOfHeaders {headers_size:#x} is not a multiple of the file alignment")

    def Directory(index):
        if index >= directory_count:
            return 0, 0
        return struct.unpack_from("<II", image, directories + 8 * index)

    # The format's other file offsets. Neither linker here writes these
    # tables, so they are refused rather than corrected.
    if symbol_table != 0:
        raise Refused("a COFF symbol table points into the file")
    if Directory(CERTIFICATE_DIRECTORY) != (0, 0):
        raise Refused("a certificate table points into the file")

    # Every file offset that moves with the data past the gap: where it is
    # kept, and its value.
    offsets = []
    data_end = headers_size
    section_table = [sections + SECTION_HEADER_SIZE * i for i in range(section_count)]
    for number, header in enumerate(section_table, 1):
        raw_size, raw, relocations, line_numbers = struct.unpack_from("<IIII", image, header + 16)
        if (raw != 0 or raw_size != 0) and raw < headers_size:
            raise Refused(f"section {number}'s data lies among the headers")
        if raw + raw_size > len(image):
            raise Refused(f"section {number}'s data runs past the end of the file")
        # An image has neither (the format deprecates both), so code to
        # correct them would never run here.
        if relocations != 0:
            raise Refused(f"section {number} has relocations in the file")
        if line_numbers != 0:
            raise Refused(f"section {number} has line numbers in the file")
        if raw != 0:
            offsets.append((header + 20, raw))
        data_end = max(data_end, raw + raw_size)

    debug_rva, debug_size = Directory(DEBUG_DIRECTORY)
    if debug_size != 0:
        debug = None
        for header in section_table:
            virtual_size, address, raw_size, raw = struct.unpack_from("<IIII", image, header + 8)
            if address <= debug_rva <= address + min(virtual_size, raw_size) - debug_size:
                debug = raw + debug_rva - address
        if debug is None or debug_size % DEBUG_ENTRY_SIZE != 0:
            raise Refused("the debug directory is not whole entries in one section's data")
        for entry in range(debug, debug + debug_size, DEBUG_ENTRY_SIZE):
            data_size, _, data = struct.unpack_from("<III", image, entry + 16)
            if data == 0:
                continue
            if data < headers_size or data + data_size > len(image):
                raise Refused("a debug entry's data lies among the headers or past the end")
            offsets.append((entry + 24, data))
            data_end = max(data_end, data + data_size)

    # Bytes past all the data that the headers account for were put there by
    # something that may find them by their file offset, which no field here
    # holds to correct.
    if len(image) > data_end:
        raise Refused("the file goes on past the data its headers account for")

    needed = -(-headers_end // file_alignment) * file_alignment
    gap = headers_size - needed
    if gap > 0:
        if any(image[headers_end:headers_size]):
            raise Refused("the space after the headers is not empty")
        # The headers are mapped at RVA 0, so a directory may point into them;
        # one that points into the block taken out would name other bytes.
        for index in range(directory_count):
            rva, size = Directory(index)
            if size != 0 and rva < headers_size and rva + size > needed:
                raise Refused(f"data directory {index} points into the space after the headers")
        for offset, value in offsets:
            struct.pack_into("<I", image, offset, value - gap)
        struct.pack_into("<I", image, headers_size_offset, needed)
        del image[needed:headers_size]

    struct.pack_into("<I", image, checksum_offset, Checksum(image, checksum_offset))


def Main(arguments):
    if len(arguments) != 1:
        print("usage: finish-image.py IMAGE", file=sys.stderr)
        return 2
    path = arguments[0]
    temporary = path + ".finishing"
    try:
        with open(path, "rb") as file:
            image = bytearray(file.read())
        Finish(image)
        with open(temporary, "wb") as file:
            file.write(image)
        os.replace(temporary, path)
    except (OSError, struct.error, Refused) as problem:
        print(f"error: {path}: {problem}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(Main(sys.argv[1:]))
