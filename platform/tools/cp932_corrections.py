#!/usr/bin/env python3
"""Brings the POSIX code page 932 encoder in line with Windows.

Usage: cp932_corrections.py WINDOWS_TABLE POSIX_TABLE HEADER

WINDOWS_TABLE is platform/testdata/cp932_table.txt (written by cp932_table.exe under Wine),
POSIX_TABLE what the native cp932_table program writes now, HEADER
platform/posix/code_page_932_corrections.h. Every unit where the two tables differ gets the
Windows form in the header's list; entries already there stay. Run it, rebuild, and run it again
until it reports no difference.
"""
import re
import sys


def parse(path):
    table = ['3F'] * 65536
    for line in open(path, encoding='ascii'):
        line = line.strip()
        if not line or line.startswith('#'):
            continue
        units, value = line.split(' ')
        first, _, last = units.partition('-')
        first = int(first, 16)
        last = int(last, 16) if last else first
        for unit in range(first, last + 1):
            table[unit] = '%0*X' % (len(value), int(value, 16) + unit - first)
    return table


def main():
    windows, posix, header = parse(sys.argv[1]), parse(sys.argv[2]), sys.argv[3]
    text = open(header, encoding='utf-8').read()
    start = text.index('kCp932Corrections[] = {') + len('kCp932Corrections[] = {')
    end = text.index('};', start)
    corrections = {int(u, 16): int(v, 16)
                   for u, v in re.findall(r'\{0x([0-9A-F]+), 0x([0-9A-F]+)\}', text[start:end])}
    differences = [u for u in range(65536) if windows[u] != posix[u]]
    for unit in differences:
        corrections[unit] = int(windows[unit], 16)
    body = ''.join('\n    {0x%04X, 0x%02X},' % (u, v) if v < 0x100 else
                   '\n    {0x%04X, 0x%04X},' % (u, v) for u, v in sorted(corrections.items()))
    open(header, 'w', encoding='utf-8').write(text[:start] + body + '\n' + text[end:])
    print('%d differences, %d corrections' % (len(differences), len(corrections)))


if __name__ == '__main__':
    main()
