#!/usr/bin/env python3
"""The package's own files: takes an author's package folder whole, refuses
what Windows cannot hold, copies it as it will ship, and zips it.

    package-tree.py stage [--signed] [--quiet] SOURCE [DEST]
        Walks SOURCE and refuses, before writing anything, every entry that
        Windows or the zip cannot hold, one line "error: PATH: why" each,
        with exit 2. Then lists what it packs and what it leaves out, and
        with DEST (which must not exist yet) copies SOURCE there as it will
        ship: every file with its bytes, every folder (empty ones too), a
        UTF-8 byte-order mark added to the PowerShell files that need one.
        --signed adds the rule that every file to be signed is UTF-8 or
        UTF-16 with a mark. --quiet leaves the listing out, for a second
        run over a folder that the first one listed.

    package-tree.py zip EPOCH STAGE TOP ZIP_NAME
        Gives every entry of STAGE/TOP the date EPOCH and a fixed mode, and
        writes STAGE/ZIP_NAME, which holds exactly STAGE/TOP, and
        STAGE/SHA256SUMS, the checksums of the zip and of every file. The
        bytes depend only on the names and contents: entries sorted, one
        date, fixed modes, no extra fields, names flagged as UTF-8.

Files are read and written in blocks, so memory stays the same whatever the
payload's size. A run that takes more than a few seconds says how far it is.
Exit 1 for a failure (a file that cannot be read or written on the way).
"""

import codecs
import hashlib
import os
import stat
import struct
import sys
import time
import zlib

# Names the build writes itself into the package folder.
BUILD_OWN = ('Install-Yorn-UI.exe', 'Install-Yorn-UI.cmd')
SCRIPTS = ('Install-Yorn-UI.ps1', 'Optimize-Yorn-UI.ps1')
VERSION_CONTROL = ('.git', '.hg', '.svn')
# Windows PowerShell 5.1 reads these without a byte-order mark in the ANSI
# code page; the signing tools sign these and .ps1xml.
MARKED = ('.ps1', '.psm1', '.psd1')
SIGNED = MARKED + ('.ps1xml',)

# Device names that Windows opens as the device, whatever the folder, with
# any extension and in any case. The superscript digits are in the list
# because Windows maps them to 1, 2 and 3 through the ANSI code page;
# CONIN$ and CONOUT$ are the console's.
DEVICE_NAMES = frozenset(
    ['CON', 'PRN', 'AUX', 'NUL', 'CONIN$', 'CONOUT$'] +
    [port + digit for port in ('COM', 'LPT') for digit in '123456789\u00b9\u00b2\u00b3'])
FORBIDDEN_CHARACTERS = '<>:"\\|?*'

# Where the zip is extracted: a folder of at most this many UTF-16 units,
# such as C:\Users\<name>\Downloads\Yorn-UI-1.0.0 (about 40). Below it come
# "\Yorn-UI\" and the path in the package. Windows' limit (MAX_PATH, 260
# with the closing NUL) leaves a file's whole path 259 units, and a
# folder's 247, since a folder must leave room for an 8.3 name in it.
EXTRACTION_FOLDER_BUDGET = 100
TOP = 'Yorn-UI'
FILE_PATH_LIMIT = 259 - (EXTRACTION_FOLDER_BUDGET + 1 + len(TOP) + 1)
FOLDER_PATH_LIMIT = 247 - (EXTRACTION_FOLDER_BUDGET + 1 + len(TOP) + 1)

# A zip without Zip64 holds at most 65,535 entries, and no offset or size
# reaches 4 GiB.
ZIP_ENTRIES_LIMIT = 0xFFFF
ZIP_SIZE_LIMIT = 0xFFFFFFFF - (1 << 20)

BLOCK = 1 << 20
PROGRESS_AFTER = 3.0  # seconds before the first progress line
PROGRESS_EVERY = 2.0


class Refused(Exception):
    pass


class Failed(Exception):
    pass


def Shown(text):
    """A name as one printable line: bytes that are not UTF-8 and control
    characters as \\xNN."""
    raw = os.fsencode(text).decode('utf-8', 'backslashreplace')
    return ''.join('\\x%02x' % ord(c) if ord(c) < 32 or ord(c) == 127 else c for c in raw)


def Utf16Units(text):
    return sum(2 if ord(c) > 0xFFFF else 1 for c in text)


def WindowsKey(name):
    """The name as Windows compares names in a folder: each UTF-16 unit
    upper-cased by a table that maps one character to one (NTFS's upcase
    table), which leaves a character alone when its upper case is several
    (German sharp s stays itself) and never joins precomposed and combining
    forms. Characters beyond the Basic Multilingual Plane are two units to
    Windows and are compared as they are."""
    key = []
    for c in name:
        upper = c.upper()
        key.append(upper if len(upper) == 1 and ord(c) <= 0xFFFF else c)
    return ''.join(key)


def NameProblem(name):
    """Why Windows cannot hold a file or folder of this name, or None."""
    try:
        name.encode('utf-8')
    except UnicodeEncodeError:
        return 'the name is not UTF-8, so neither the zip nor Windows can name it as it is meant'
    for c in name:
        if ord(c) < 32:
            return 'Windows does not allow control characters (here \\x%02x) in a name' % ord(c)
        if c in FORBIDDEN_CHARACTERS:
            return 'Windows does not allow the character %s in a name' % c
    if name[-1] in '. ':
        return ('Windows drops a dot or a space at the end of a name, so it would not find this %s under its name'
                % ('one ending in a dot' if name[-1] == '.' else 'one ending in a space'))
    stem = name.split('.', 1)[0].rstrip(' ')
    if stem.upper() in DEVICE_NAMES:
        return ('%s is a device name on Windows, with any extension and in any case, so no file or folder can have it'
                % stem)
    return None


def KindProblem(mode):
    if stat.S_ISLNK(mode):
        return 'is a symbolic link; the package holds only files and folders, so put the file or folder itself there'
    if stat.S_ISSOCK(mode):
        return 'is a socket, which no zip can hold'
    if stat.S_ISFIFO(mode):
        return 'is a FIFO (named pipe), which no zip can hold'
    if stat.S_ISCHR(mode) or stat.S_ISBLK(mode):
        return 'is a device, which no zip can hold'
    if not (stat.S_ISREG(mode) or stat.S_ISDIR(mode)):
        return 'is neither a file nor a folder, which no zip can hold'
    return None


def Extension(name):
    return os.path.splitext(name)[1].lower()


def ReadEncoding(path):
    """(mark, utf8, non_ascii) of a file, read in blocks: the byte-order
    mark it starts with (b'' for none), whether it is valid UTF-8, and
    whether it holds anything but ASCII."""
    decoder = codecs.getincrementaldecoder('utf-8')()
    utf8, non_ascii, mark = True, False, None
    with open(path, 'rb') as file:
        while True:
            block = file.read(BLOCK)
            if mark is None:
                head = block[:3]
                mark = next((m for m in (codecs.BOM_UTF8, codecs.BOM_UTF16_LE, codecs.BOM_UTF16_BE)
                             if head.startswith(m)), b'')
            if not block:
                break
            non_ascii = non_ascii or not block.isascii()
            if utf8:
                try:
                    decoder.decode(block)
                except UnicodeDecodeError:
                    utf8 = False
        if utf8:
            try:
                decoder.decode(b'', final=True)
            except UnicodeDecodeError:
                utf8 = False
    return mark, utf8, non_ascii


class Entry:
    def __init__(self, path, relative, is_folder, size=0):
        self.Path = path
        self.Relative = relative  # with '/', as in the zip
        self.IsFolder = is_folder
        self.Size = size
        self.Mark = False  # gets a UTF-8 byte-order mark


class Walk:
    def __init__(self, source, signed):
        self.Source = source
        self.Signed = signed
        self.Entries = []
        self.LeftOut = []
        self.Problems = []

    def Refuse(self, relative, why):
        self.Problems.append('%s: %s' % (Shown(relative), why))

    def Folder(self, path, relative, too_long):
        try:
            with os.scandir(path) as listing:
                children = sorted(listing, key=lambda child: child.name)
        except OSError as error:
            self.Refuse(relative or '.', 'cannot be read (%s)' % error.strerror)
            return
        keys = {}
        if not relative:
            for name in BUILD_OWN:
                keys[WindowsKey(name)] = None
        for child in children:
            child_relative = relative + '/' + child.name if relative else child.name
            if child.name in VERSION_CONTROL:
                self.LeftOut.append(child_relative + ('/' if child.is_dir(follow_symlinks=False) else ''))
                continue
            key = WindowsKey(child.name)
            if key in keys:
                other = keys[key]
                if other is None:
                    self.Refuse(child_relative, 'the build puts its own %s here; remove this one'
                                % next(name for name in BUILD_OWN if WindowsKey(name) == key))
                else:
                    self.Refuse(child_relative, 'has the same name as %s to Windows, which ignores case in names, '
                                'so one would overwrite the other' % Shown(other))
            keys.setdefault(key, child_relative)
            self.Child(child, child_relative, too_long)

    def Child(self, child, relative, too_long):
        problem = NameProblem(child.name)
        if problem:
            self.Refuse(relative, problem)
        try:
            mode = child.stat(follow_symlinks=False).st_mode
        except OSError as error:
            self.Refuse(relative, 'cannot be read (%s)' % error.strerror)
            return
        problem = KindProblem(mode)
        if problem:
            self.Refuse(relative, problem)
            return
        is_folder = stat.S_ISDIR(mode)
        units = Utf16Units(relative)
        limit = FOLDER_PATH_LIMIT if is_folder else FILE_PATH_LIMIT
        if units > limit and not too_long:
            too_long = True
            self.Refuse(relative, 'its path in the package is %d characters (UTF-16), over the %d that a %s may have: '
                        'extracted into a folder of up to %d characters, it would pass Windows\' limit of %d'
                        % (units, limit, 'folder' if is_folder else 'file', EXTRACTION_FOLDER_BUDGET,
                           247 if is_folder else 259))
        if is_folder:
            self.Entries.append(Entry(child.path, relative, True))
            self.Folder(child.path, relative, too_long)
            return
        try:
            descriptor = os.open(child.path, os.O_RDONLY)
            size = os.fstat(descriptor).st_size
            os.close(descriptor)
        except OSError as error:
            self.Refuse(relative, 'cannot be read (%s)' % error.strerror)
            return
        entry = Entry(child.path, relative, False, size)
        extension = Extension(child.name)
        if extension in SIGNED:
            try:
                mark, utf8, non_ascii = ReadEncoding(child.path)
            except OSError as error:
                self.Refuse(relative, 'cannot be read (%s)' % error.strerror)
                return
            utf16 = mark in (codecs.BOM_UTF16_LE, codecs.BOM_UTF16_BE)
            if self.Signed and not utf16 and not utf8:
                self.Refuse(relative, 'is not UTF-8 (saved in a legacy code page?); save it as UTF-8 so that its '
                            'signature holds on Windows')
            entry.Mark = extension in MARKED and not mark and utf8 and non_ascii
        self.Entries.append(entry)

    def Run(self):
        if not os.path.isdir(self.Source):
            raise Refused(['%s is not a folder' % Shown(self.Source)])
        self.Folder(self.Source, '', False)
        names = {entry.Relative for entry in self.Entries if not entry.IsFolder}
        for script in SCRIPTS:
            if script not in names:
                self.Problems.append('%s has no %s; a package needs both %s and %s'
                                     % (Shown(self.Source), script, SCRIPTS[0], SCRIPTS[1]))
        if self.Problems:
            raise Refused(self.Problems)
        total = sum(entry.Size + 3 * entry.Mark for entry in self.Entries)
        if len(self.Entries) + 1 + len(BUILD_OWN) > ZIP_ENTRIES_LIMIT or total > ZIP_SIZE_LIMIT:
            raise Refused(['%s: %d files and folders, %s: over what a zip holds without Zip64 (65,535 entries, '
                           '4 GiB)' % (Shown(self.Source), len(self.Entries), Size(total))])


def Size(count):
    for unit in ('bytes', 'kB', 'MB', 'GB'):
        if count < 1000 or unit == 'GB':
            return '%d %s' % (count, unit) if unit == 'bytes' else '%.1f %s' % (count, unit)
        count /= 1000
    return None


def Counted(files, folders, size):
    text = '%d file%s' % (files, '' if files == 1 else 's')
    if folders:
        text += ' in %d folder%s' % (folders, '' if folders == 1 else 's')
    return '%s, %s' % (text, Size(size))


# Up to this many files, the listing names each; above, each entry at the
# top with what it holds (SHA256SUMS names every file).
LISTED_FILES = 200


def List(walk):
    files = [entry for entry in walk.Entries if not entry.IsFolder]
    folders = [entry for entry in walk.Entries if entry.IsFolder]
    parents = {entry.Relative.rpartition('/')[0] for entry in walk.Entries}
    empty = [folder for folder in folders if folder.Relative not in parents]
    print('Packing %s: %s%s, beside the launcher and the command script'
          % (Shown(walk.Source), Counted(len(files), len(folders), sum(entry.Size for entry in files)),
             ' (%d empty)' % len(empty) if empty else ''))
    if len(files) <= LISTED_FILES:
        for entry in files:
            print('  %-50s %s' % (Shown(entry.Relative), Size(entry.Size)))
        for folder in empty:
            print('  %-50s empty folder' % (Shown(folder.Relative) + '/'))
    else:
        # Each entry at the top, a folder with what it holds at any depth.
        held = {}
        for entry in walk.Entries:
            head, _, rest = entry.Relative.partition('/')
            if rest:
                files_, folders_, size = held.get(head, (0, 0, 0))
                held[head] = (files_ + (not entry.IsFolder), folders_ + entry.IsFolder, size + entry.Size)
        for entry in walk.Entries:
            if '/' in entry.Relative:
                continue
            if entry.IsFolder:
                print('  %-50s %s' % (Shown(entry.Relative) + '/', Counted(*held.get(entry.Relative, (0, 0, 0)))))
            else:
                print('  %-50s %s' % (Shown(entry.Relative), Size(entry.Size)))
        print('  (SHA256SUMS names every file)')
    for relative in walk.LeftOut:
        print('Left out: %s (version-control metadata)' % Shown(relative))
    for entry in walk.Entries:
        if entry.Mark:
            print('%s is UTF-8 without a byte-order mark: the packaged copy gets one, so that Windows PowerShell '
                  '5.1 reads it as UTF-8' % Shown(entry.Relative))


class Progress:
    """A line now and then while a long step runs: how many files and bytes
    of how many are done."""

    def __init__(self, doing, entries):
        self.Doing = doing
        self.Files = sum(not entry.IsFolder for entry in entries)
        self.Bytes = sum(entry.Size for entry in entries)
        self.Start = time.monotonic()
        self.Next = self.Start + PROGRESS_AFTER
        self.FilesDone = 0
        self.BytesDone = 0

    def Add(self, files, size):
        self.FilesDone += files
        self.BytesDone += size
        now = time.monotonic()
        if now >= self.Next:
            self.Next = now + PROGRESS_EVERY
            print('  %s: %d of %d files, %s of %s (%d s)' % (self.Doing, self.FilesDone, self.Files,
                                                             Size(self.BytesDone), Size(self.Bytes),
                                                             now - self.Start), flush=True)


def CopyBlocks(source, target, progress):
    while True:
        block = source.read(BLOCK)
        if not block:
            return
        target.write(block)
        progress.Add(0, len(block))


def Stage(walk, destination):
    try:
        os.mkdir(destination, 0o700)
    except OSError as error:
        raise Failed('cannot make %s: %s' % (Shown(destination), error.strerror))
    progress = Progress('Copying', walk.Entries)
    for entry in walk.Entries:
        target = os.path.join(destination, *entry.Relative.split('/'))
        try:
            if entry.IsFolder:
                os.mkdir(target, 0o755)
                continue
            with open(entry.Path, 'rb') as source, open(target, 'xb') as copy:
                if entry.Mark:
                    copy.write(codecs.BOM_UTF8)
                CopyBlocks(source, copy, progress)
        except OSError as error:
            raise Failed('cannot copy %s into the package: %s' % (Shown(entry.Relative), error.strerror))
        progress.Add(1, 0)


def TreeOf(root):
    """Every folder and file below root, as (path, relative, is_folder),
    folders before what they hold, sorted by name at each level whatever
    order the file system lists them in."""
    entries = []

    def Visit(path, relative):
        with os.scandir(path) as listing:
            children = sorted(listing, key=lambda child: child.name)
        for child in children:
            child_relative = relative + '/' + child.name
            mode = child.stat(follow_symlinks=False).st_mode
            if stat.S_ISDIR(mode):
                entries.append(Entry(child.path, child_relative, True))
                Visit(child.path, child_relative)
            elif stat.S_ISREG(mode):
                entries.append(Entry(child.path, child_relative, False, child.stat(follow_symlinks=False).st_size))
            else:
                raise Failed('%s is neither a file nor a folder' % Shown(child_relative))

    entries.append(Entry(root, os.path.basename(root), True))
    Visit(root, os.path.basename(root))
    return entries


def DosDateTime(epoch):
    """The date as a zip holds it, in UTC, to two seconds; before 1980 (the
    earliest a zip can hold) it is 1980-01-01."""
    moment = time.gmtime(max(epoch, 315532800))
    date = (moment.tm_year - 1980) << 9 | moment.tm_mon << 5 | moment.tm_mday
    clock = moment.tm_hour << 11 | moment.tm_min << 5 | moment.tm_sec // 2
    return clock, date


UTF8_NAMES = 0x0800  # general-purpose flag bit 11: names are UTF-8
MADE_BY_UNIX = 3 << 8 | 30
STORED, DEFLATED = 0, 8
FILE_MODE, FOLDER_MODE = 0o100644, 0o040755
MSDOS_FOLDER = 0x10


def LocalHeader(name, method, clock, date, crc, compressed, size):
    return struct.pack('<IHHHHHIIIHH', 0x04034B50, 20, UTF8_NAMES, method, clock, date, crc, compressed, size,
                       len(name), 0) + name


def WriteZip(zip_path, entries, epoch):
    """Writes the zip and returns the SHA-256 of every file, in order. Each
    file is deflated as zip(1) does by default (level 6), and stored when
    deflating does not make it smaller."""
    clock, date = DosDateTime(epoch)
    central = []
    sums = []
    progress = Progress('Zipping', entries)
    with open(zip_path, 'wb') as out:
        for entry in entries:
            name = (entry.Relative + ('/' if entry.IsFolder else '')).encode('utf-8')
            offset = out.tell()
            if entry.IsFolder:
                method, crc, compressed, size = STORED, 0, 0, 0
                out.write(LocalHeader(name, method, clock, date, crc, compressed, size))
            else:
                out.write(LocalHeader(name, DEFLATED, clock, date, 0, 0, 0))
                start = out.tell()
                digest = hashlib.sha256()
                crc, size, compressed = 0, 0, 0
                deflate = zlib.compressobj(6, zlib.DEFLATED, -15)
                with open(entry.Path, 'rb') as source:
                    while True:
                        block = source.read(BLOCK)
                        if not block:
                            break
                        digest.update(block)
                        crc = zlib.crc32(block, crc)
                        size += len(block)
                        data = deflate.compress(block)
                        compressed += len(data)
                        out.write(data)
                        progress.Add(0, len(block))
                    data = deflate.flush()
                    compressed += len(data)
                    out.write(data)
                    method = DEFLATED
                    if compressed >= size:
                        method, compressed = STORED, size
                        out.seek(start)
                        out.truncate()
                        source.seek(0)
                        while True:
                            block = source.read(BLOCK)
                            if not block:
                                break
                            out.write(block)
                if size != entry.Size:
                    raise Failed('%s changed while it was zipped' % Shown(entry.Relative))
                end = out.tell()
                out.seek(offset)
                out.write(LocalHeader(name, method, clock, date, crc, compressed, size))
                out.seek(end)
                sums.append((digest.hexdigest(), entry.Relative))
                progress.Add(1, 0)
            mode = FOLDER_MODE if entry.IsFolder else FILE_MODE
            attributes = mode << 16 | (MSDOS_FOLDER if entry.IsFolder else 0)
            central.append(struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, MADE_BY_UNIX, 20, UTF8_NAMES, method,
                                       clock, date, crc, compressed, size, len(name), 0, 0, 0, 0, attributes,
                                       offset) + name)
        directory_offset = out.tell()
        for record in central:
            out.write(record)
        directory_size = out.tell() - directory_offset
        if len(central) > ZIP_ENTRIES_LIMIT or out.tell() > 0xFFFFFFFF:
            raise Failed('the zip would need Zip64 (over 65,535 entries or 4 GiB)')
        out.write(struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, len(central), len(central), directory_size,
                              directory_offset, 0))
    return sums


def FileSha256(path):
    digest = hashlib.sha256()
    with open(path, 'rb') as file:
        while True:
            block = file.read(BLOCK)
            if not block:
                return digest.hexdigest()
            digest.update(block)


def Zip(epoch, stage, top, zip_name):
    entries = TreeOf(os.path.join(stage, top))
    for entry in entries:
        os.chmod(entry.Path, FOLDER_MODE & 0o777 if entry.IsFolder else FILE_MODE & 0o777)
    # Folders last, deepest first, so that setting a file's date does not
    # change its folder's afterwards.
    for entry in reversed(entries):
        os.utime(entry.Path, (epoch, epoch), follow_symlinks=False)
    zip_path = os.path.join(stage, zip_name)
    sums = WriteZip(zip_path, entries, epoch)
    with open(os.path.join(stage, 'SHA256SUMS'), 'w', encoding='utf-8', newline='\n') as out:
        out.write('%s  %s\n' % (FileSha256(zip_path), zip_name))
        for digest, relative in sums:
            out.write('%s  %s\n' % (digest, relative))


USAGE = ('usage: package-tree.py stage [--signed] [--quiet] SOURCE [DEST]\n'
         '       package-tree.py zip EPOCH STAGE TOP ZIP_NAME')


def Main(arguments):
    if arguments[:1] == ['stage']:
        arguments = arguments[1:]
        signed = arguments[:1] == ['--signed']
        arguments = arguments[signed:]
        quiet = arguments[:1] == ['--quiet']
        arguments = arguments[quiet:]
        if len(arguments) not in (1, 2):
            raise Refused([USAGE])
        walk = Walk(arguments[0], signed)
        walk.Run()
        if not quiet:
            List(walk)
        sys.stdout.flush()
        if len(arguments) == 2:
            Stage(walk, arguments[1])
    elif arguments[:1] == ['zip'] and len(arguments) == 5 and arguments[1].isdigit():
        Zip(int(arguments[1]), arguments[2], arguments[3], arguments[4])
    else:
        raise Refused([USAGE])


if __name__ == '__main__':
    try:
        Main(sys.argv[1:])
    except Refused as refusal:
        sys.stdout.flush()
        for problem in refusal.args[0]:
            print('error: ' + problem, file=sys.stderr)
        sys.exit(2)
    except Failed as failure:
        sys.stdout.flush()
        print('error: %s' % failure, file=sys.stderr)
        sys.exit(1)
    except OSError as error:
        sys.stdout.flush()
        print('error: %s: %s' % (Shown(error.filename or ''), error.strerror), file=sys.stderr)
        sys.exit(1)
