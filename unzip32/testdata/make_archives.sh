#!/usr/bin/env bash
# make_archives.sh: writes the archives of this folder with the tools that people make update
# modules with: Info-ZIP zip, 7-Zip's 7z, libarchive's bsdtar and Python's zipfile. The archives
# are kept in the repository, so the tests need none of these tools; run this again (Debian's
# zip, p7zip-full, libarchive-tools and python3) to remake them after changing what it makes.
# unzip32/check_archives.py unpacks each one with our library and compares it, entry by entry,
# with what Python's zipfile reads.
#
# Names say the maker and the kind; the files are small on purpose.
set -euo pipefail
out=$(cd "$(dirname "$0")" && pwd)
for tool in zip 7z bsdtar python3; do
  command -v "$tool" >/dev/null || { echo "make_archives.sh: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
stamp=200904030905

# The files that go into the archives: a few texts, a larger text that deflates well, bytes that
# do not, an empty file, and Japanese names (UTF-8 on disk in src, code page 932 in src932).
python3 - "$work" <<'EOF'
import os, random, sys
work = sys.argv[1]
src = os.path.join(work, 'src')
def put(path, data):
    path = os.path.join(src, path)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    open(path, 'wb').write(data)
put('readme.txt', b'Norvex agent files\r\n')
put('news.xml', '<?xml version="1.0" encoding="UTF-8"?>\n<news><item>更新</item></news>\n'.encode())
put('empty.txt', b'')
put('data/big.txt', b''.join(b'line %d of the agent list, search and news\n' % i for i in range(500)))
put('data/random.bin', random.Random(7).randbytes(3000))
put('フォルダ/ソース表示.txt', 'ソース\n'.encode())
put('表/能力.txt', '能力\n'.encode())
put('ソフト/十字/予定表.txt', '予定表\n'.encode())
# The same Japanese files under names in code page 932 (bytes, as a Japanese system writes them).
for name in ['フォルダ/ソース表示.txt', '表/能力.txt', 'ソフト/十字/予定表.txt']:
    path = os.path.join(work.encode(), b'src932', name.encode('cp932'))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    open(path, 'wb').write((name.split('/')[-1].split('.')[0] + '\n').encode('cp932'))
EOF
src=$work/src
src932=$work/src932
ln -s readme.txt "$src/latest.txt"
ln -s data "$src/current"
ln -s ../../outside.txt "$src/escape.txt"
printf 'after the end comes padding\n' >"$src/padded.txt"
find "$src" "$src932" -exec touch -h -t "$stamp" {} +
rm -f "$out"/*.zip

latin=(readme.txt news.xml empty.txt data)

# Info-ZIP zip (-X: no extra attributes of this machine).
(cd "$src" && zip -q -X -0 -r "$out/zip_stored.zip" "${latin[@]}")
(cd "$src" && zip -q -X -9 -r "$out/zip_deflated.zip" "${latin[@]}")
# To a pipe zip cannot seek back: sizes and CRCs follow the data (data descriptors).
(cd "$src" && zip -q -X -r - "${latin[@]}" | cat >"$out/zip_streamed.zip")
# From a pipe: one entry named "-".
(cd "$src" && cat data/big.txt | zip -q -X - - | cat >"$out/zip_stdin.zip")
# Entry comments, then an archive comment.
(cd "$src" && printf 'the readme\nthe news\n' | zip -q -X -c "$out/zip_comment.zip" readme.txt news.xml)
printf 'Norvex update module\nbuilt for the tests\n' | zip -q -z "$out/zip_comment.zip"
# Names in code page 932 without the UTF-8 flag, as zip stores the bytes it is given; "ソ", "表",
# "能", "十" and "予" end in the byte 0x5C.
(cd "$src932" && LC_ALL=C zip -q -X -r "$out/cp932.zip" "$(printf '\x83\x74\x83\x48\x83\x8b\x83\x5f')")
(cd "$src932" && LC_ALL=C zip -q -X -r "$out/zip_cp932_names.zip" .)
# Names in UTF-8 without the flag (zip 3.0 in a UTF-8 locale).
(cd "$src" && LC_ALL=C.UTF-8 zip -q -X -r "$out/zip_utf8_unflagged.zip" フォルダ 表)
# Symbolic links stored as links (-y): their data is the link's text.
(cd "$src" && zip -q -X -y "$out/zip_symlinks.zip" readme.txt latest.txt current escape.txt)
(cd "$src" && zip -q -X -P secret "$out/zip_encrypted.zip" readme.txt news.xml)
(cd "$src" && zip -q -X -fz -r "$out/zip_zip64.zip" readme.txt data)
# (zip 3.0 with -fz to a pipe writes an archive that no reader can open: not made.)

# 7-Zip.
(cd "$src" && 7z a -tzip -bd -bso0 -mx=0 "$out/7z_stored.zip" "${latin[@]}")
(cd "$src" && 7z a -tzip -bd -bso0 -mx=9 -mm=Deflate "$out/7z_deflated.zip" "${latin[@]}")
(cd "$src" && 7z a -tzip -bd -bso0 "$out/7z_japanese.zip" フォルダ 表 ソフト)
(cd "$src" && 7z a -tzip -bd -bso0 -mm=Deflate64 "$out/7z_deflate64.zip" readme.txt data/big.txt)
(cd "$src" && 7z a -tzip -bd -bso0 -mm=BZip2 "$out/7z_bzip2.zip" readme.txt data/big.txt)
(cd "$src" && 7z a -tzip -bd -bso0 -mm=LZMA "$out/7z_lzma.zip" readme.txt data/big.txt)
(cd "$src" && 7z a -tzip -bd -bso0 -psecret "$out/7z_zipcrypto.zip" readme.txt news.xml)
(cd "$src" && 7z a -tzip -bd -bso0 -psecret -mem=AES256 "$out/7z_aes.zip" readme.txt news.xml)

# bsdtar: to a pipe it writes data descriptors and pads the output to whole blocks of 10240
# bytes after the end record.
(cd "$src" && bsdtar --format zip -cf - padded.txt | cat >"$out/padded.zip")
(cd "$src" && LC_ALL=C.UTF-8 bsdtar --format zip -cf - readme.txt data フォルダ latest.txt |
  cat >"$out/bsdtar_streamed.zip")
(cd "$src" && bsdtar --format zip --options zip:compression=store -cf "$out/bsdtar_stored.zip" \
  "${latin[@]}")
(cd "$src" && bsdtar --format zip --options zip:zip64 -cf - readme.txt data |
  cat >"$out/bsdtar_zip64_streamed.zip")
(cd "$src" && LC_ALL=C bsdtar --format zip -cf "$out/bsdtar_utf8_unflagged.zip" フォルダ)

# Python's zipfile: UTF-8 names with the flag, 64-bit records on request, comments.
python3 - "$src" "$out" <<'EOF'
import os, sys, zipfile
src, out = sys.argv[1], sys.argv[2]
def data(name):
    return open(os.path.join(src, name), 'rb').read()
def add(z, name, arcname=None, compress=zipfile.ZIP_DEFLATED, force_zip64=False, comment=b''):
    info = zipfile.ZipInfo(arcname or name, date_time=(2009, 4, 3, 9, 5, 0))
    info.compress_type = compress
    info.comment = comment
    with z.open(info, 'w', force_zip64=force_zip64) as f:
        f.write(data(name))
with zipfile.ZipFile(os.path.join(out, 'python_stored.zip'), 'w') as z:
    for name in ['readme.txt', 'news.xml', 'empty.txt', 'data/big.txt']:
        add(z, name, compress=zipfile.ZIP_STORED)
with zipfile.ZipFile(os.path.join(out, 'python_deflated.zip'), 'w', compresslevel=9) as z:
    for name in ['readme.txt', 'news.xml', 'empty.txt', 'data/big.txt', 'data/random.bin']:
        add(z, name)
with zipfile.ZipFile(os.path.join(out, 'utf8.zip'), 'w') as z:
    add(z, 'フォルダ/ソース表示.txt')
with zipfile.ZipFile(os.path.join(out, 'python_japanese.zip'), 'w') as z:
    for name in ['フォルダ/ソース表示.txt', '表/能力.txt', 'ソフト/十字/予定表.txt']:
        add(z, name)
# A name that code page 932 cannot hold: read on Linux, refused on Windows.
with zipfile.ZipFile(os.path.join(out, 'python_accents.zip'), 'w') as z:
    add(z, 'readme.txt')
    add(z, 'readme.txt', arcname='café/menu.txt')
with zipfile.ZipFile(os.path.join(out, 'python_zip64.zip'), 'w') as z:
    add(z, 'readme.txt', force_zip64=True)
    add(z, 'data/big.txt', force_zip64=True)
with zipfile.ZipFile(os.path.join(out, 'python_comment.zip'), 'w') as z:
    z.comment = 'モジュール 1.0.10'.encode('utf-8')
    add(z, 'readme.txt', comment=b'the readme')
    add(z, 'news.xml', comment='ニュース'.encode('utf-8'))
with zipfile.ZipFile(os.path.join(out, 'python_empty.zip'), 'w') as z:
    pass
EOF

# Damaged archives, from the ones above.
python3 - "$out" <<'EOF'
import os, sys, zipfile
out = sys.argv[1]
def read(name):
    return bytearray(open(os.path.join(out, name), 'rb').read())
def write(name, data):
    open(os.path.join(out, name), 'wb').write(bytes(data))
def data_offset(archive, entry):
    z = zipfile.ZipFile(os.path.join(out, archive))
    info = z.getinfo(entry)
    raw = read(archive)
    at = info.header_offset
    return at + 30 + int.from_bytes(raw[at + 26:at + 28], 'little') + \
        int.from_bytes(raw[at + 28:at + 30], 'little'), info.compress_size
deflated = read('zip_deflated.zip')
# Cut in the middle: no end record.
write('zip_truncated.zip', deflated[:len(deflated) // 2])
# Cut inside the end record.
write('zip_truncated_end.zip', deflated[:-10])
# One byte of stored data changed: the CRC does not match.
stored = read('zip_stored.zip')
at, size = data_offset('zip_stored.zip', 'readme.txt')
stored[at + 3] ^= 0x20
write('zip_bad_crc.zip', stored)
# Deflated data overwritten in the middle of the stream.
at, size = data_offset('zip_deflated.zip', 'data/big.txt')
for i in range(at + size // 2, at + size // 2 + 16):
    deflated[i] = 0xFF
write('zip_bad_deflate.zip', deflated)
EOF
ls -l "$out"/*.zip
