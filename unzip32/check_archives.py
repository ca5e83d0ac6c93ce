#!/usr/bin/env python3
"""Unpacks every archive of a folder with our archive library and compares the outcome, entry by
entry, with what Python's zipfile reads from the same archive.

Usage: check_archives.py --platform posix|windows --probe PROGRAM [--emulator COMMAND] FOLDER

PROGRAM is archive_probe (archive_probe.exe under the emulator, Wine, for the Windows build).
Each archive is unpacked twice: into an empty folder, and into one where every entry's target
already holds other bytes. What the library must give, derived from zipfile:

- an archive zipfile cannot open: the library refuses to open it;
- otherwise every file entry (folder entries are not reported), in directory order, under its
  name as the platform's narrow file functions take it: UTF-8 when the entry's flag says so,
  else code page 932 on Windows (the ANSI code page of the test session), on Linux UTF-8 when
  the bytes are valid UTF-8, else code page 932; then "/" becomes "\\" and the text is written
  in code page 932 (Windows) or UTF-8 (Linux). A name without a form there is refused
  (reported as stored);
- an entry that zipfile reads: written with the same bytes (a symbolic link as a plain file that
  holds the link's text, which is the entry's data);
- an entry that zipfile refuses (encrypted, bad CRC, bad data) or that is neither stored nor
  deflated (the only methods the library unpacks, although zipfile reads BZip2 and LZMA too):
  refused, and a file that was already at its target is left as it was;
- no other file appears: no partial file is left behind.
"""
import argparse
import os
import shlex
import subprocess
import sys
import tempfile
import zipfile
import zlib

ARC_OK = 0
ARC_ERROR_CORRUPT = 0x8003
ARC_ERROR_UNSUPPORTED = 0x8004
ARC_ERROR_NAME = 0x8006
SENTINEL = b'the installed file\n'


class Expected:
    def __init__(self, reported, path, result, data):
        self.reported = reported  # the record's name bytes
        self.path = path          # the target below the folder (bytes, "/" separators), or None
        self.result = result
        self.data = data          # the bytes written, when result is ARC_OK
        self.why = ''


def name_text(raw, utf8_flag, platform):
    """The entry name as text, or None when its bytes are not valid in its encoding."""
    try:
        if utf8_flag:
            return raw.decode('utf-8')
        if platform == 'windows':
            return raw.decode('cp932')
        try:
            return raw.decode('utf-8')
        except UnicodeDecodeError:
            return raw.decode('cp932')
    except UnicodeDecodeError:
        return None


def narrow_form(text, platform):
    try:
        return text.replace('/', '\\').encode('cp932' if platform == 'windows' else 'utf-8')
    except UnicodeEncodeError:
        return None


def expect(archive, platform):
    """The entries the library must report, or None when it must refuse the archive."""
    try:
        z = zipfile.ZipFile(archive)
    except (zipfile.BadZipFile, OSError, EOFError, ValueError):
        return None
    entries = []
    with z:
        for info in z.infolist():
            if info.is_dir():
                continue
            utf8_flag = bool(info.flag_bits & 0x800)
            raw = info.orig_filename.encode('utf-8' if utf8_flag else 'cp437')
            text = name_text(raw, utf8_flag, platform)
            narrow = narrow_form(text, platform) if text is not None else None
            if narrow is None:
                entry = Expected(raw, None, ARC_ERROR_NAME, None)
                entry.why = 'name without a form on this platform'
                entries.append(entry)
                continue
            path = text.encode('utf-8')
            encrypted = bool(info.flag_bits & 0x1)
            if info.compress_type not in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED) and not encrypted:
                entry = Expected(narrow, path, ARC_ERROR_UNSUPPORTED, None)
                entry.why = 'method %d' % info.compress_type
                entries.append(entry)
                continue
            try:
                entry = Expected(narrow, path, ARC_OK, z.read(info))
            except (RuntimeError, NotImplementedError) as e:
                entry = Expected(narrow, path, ARC_ERROR_UNSUPPORTED, None)
                entry.why = str(e)
            except (zipfile.BadZipFile, zlib.error, EOFError, OSError) as e:
                entry = Expected(narrow, path, ARC_ERROR_CORRUPT, None)
                entry.why = str(e)
            entries.append(entry)
    return entries


def program_path(path, platform):
    if platform == 'windows':
        return 'Z:' + path.replace('/', '\\')
    return path


def run_probe(args, archive, out):
    command = shlex.split(args.emulator) if args.emulator else []
    command += [args.probe, program_path(archive, args.platform), program_path(out, args.platform)]
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, timeout=120)
    if done.returncode != 0:
        raise RuntimeError('probe exit status %d: %s' % (done.returncode, done.stderr.decode(errors='replace')))
    lines = [line.strip() for line in done.stdout.decode('ascii').splitlines() if line.strip()]
    if lines == ['open refused']:
        return None, None
    entries = []
    close = None
    for line in lines:
        words = line.split(' ')
        if words[0] == 'entry' and len(words) == 3:
            entries.append((bytes.fromhex(words[1]), int(words[2])))
        elif words[0] == 'close' and len(words) == 2:
            close = int(words[1])
        else:
            raise RuntimeError('probe said: ' + line)
    return entries, close


def files_below(folder):
    found = {}
    for root, dirs, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            found[os.path.relpath(path, folder).replace(os.sep, '/').encode('utf-8')] = path
    return found


def check(args, archive):
    """A list of what differs (empty when the library did what zipfile says)."""
    name = os.path.basename(archive)
    expected = expect(archive, args.platform)
    problems = []
    for with_sentinels in (False, True):
        run = 'into a folder with the targets already there' if with_sentinels else 'into an empty folder'
        with tempfile.TemporaryDirectory() as temp:
            out = os.path.join(temp, 'out')
            os.makedirs(out)
            if with_sentinels and expected:
                for entry in expected:
                    if entry.path is None:
                        continue
                    target = os.path.join(out.encode(), entry.path)
                    os.makedirs(os.path.dirname(target), exist_ok=True)
                    with open(target, 'wb') as f:
                        f.write(SENTINEL)
            reported, close = run_probe(args, archive, out)
            if expected is None:
                if reported is not None:
                    problems.append('%s: opened, but zipfile cannot open it' % name)
                continue
            if reported is None:
                problems.append('%s: refused to open, but zipfile reads it' % name)
                continue
            if close != ARC_OK:
                problems.append('%s: close gave %d' % (name, close))
            if [r[0] for r in reported] != [e.reported for e in expected]:
                problems.append('%s: entries %r, expected %r' %
                                (name, [r[0] for r in reported], [e.reported for e in expected]))
                continue
            wanted = {}
            for (_, result), entry in zip(reported, expected):
                label = '%s: %s (%s)' % (name, entry.reported.decode('utf-8', 'replace'), run)
                if result != entry.result:
                    problems.append('%s: result %#x, expected %#x %s' %
                                    (label, result, entry.result, entry.why))
                    continue
                if entry.path is None:
                    continue
                if result == ARC_OK:
                    wanted[entry.path] = entry.data
                elif with_sentinels:
                    wanted[entry.path] = SENTINEL
            found = files_below(out)
            for path in sorted(set(found) - set(wanted)):
                problems.append('%s: unexpected file %s (%s)' % (name, path.decode('utf-8', 'replace'), run))
            for path, data in wanted.items():
                label = '%s: %s (%s)' % (name, path.decode('utf-8', 'replace'), run)
                if path not in found:
                    problems.append(label + ': missing')
                elif os.path.islink(found[path]):
                    problems.append(label + ': written as a link')
                else:
                    with open(found[path], 'rb') as f:
                        if f.read() != data:
                            problems.append(label + ': other bytes' +
                                            (' (the file that was there is changed)' if data == SENTINEL else ''))
    summary = 'refused' if expected is None else '%d entries, %d refused' % (
        len(expected), sum(1 for e in expected if e.result != ARC_OK))
    return summary, problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--platform', choices=['posix', 'windows'], required=True)
    parser.add_argument('--probe', required=True)
    parser.add_argument('--emulator', default='')
    parser.add_argument('folder')
    args = parser.parse_args()
    archives = sorted(os.path.join(args.folder, n) for n in os.listdir(args.folder) if n.endswith('.zip'))
    if not archives:
        print('check_archives.py: no archives in ' + args.folder)
        return 1
    failed = 0
    for archive in archives:
        summary, problems = check(args, archive)
        print('%-28s %s%s' % (os.path.basename(archive), summary, ': DIFFERS' if problems else ''))
        for problem in problems:
            print('  ' + problem)
        failed += bool(problems)
    print('%d archives, %d differ from zipfile' % (len(archives), failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
