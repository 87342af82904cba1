#!/bin/sh
# Remakes the zip archives that other tools write, which the archive tests extract and compare
# with what 7-Zip and Python's zipfile make of them.
#
# Needs: zip, 7z (p7zip-full), python3, zstd. The archives keep the time they were made in, so a
# run changes their bytes but not what they hold.
#
# Every archive holds some of a.txt (one line), b.bin (bytes 0 to 255, twenty times) and c.txt
# (a line three thousand times), some in folders; tests/archive/tool_archives_test.cpp says what
# each extracts to.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf 'hello world\n' > a.txt
python3 -c "open('b.bin', 'wb').write(bytes(range(256)) * 20)"
python3 -c "open('c.txt', 'w').write('line of text\n' * 3000)"
out=$here
rm -f "$out"/*.zip

# Info-ZIP
zip -q -X "$out/zip_plain.zip" a.txt b.bin c.txt
zip -q -X -fz "$out/zip_zip64.zip" a.txt b.bin c.txt          # large-archive records, small members
zip -q -X -fd "$out/zip_descriptors.zip" a.txt c.txt          # sizes after the data
zip -q -X - - < c.txt > "$out/zip_stdin.zip"                  # written as a stream, a pipe's member
zip -q -X -Z bzip2 "$out/zip_bzip2.zip" a.txt c.txt
mkdir -p tree/sub && cp a.txt tree/sub/ && cp c.txt tree/
(cd tree && zip -q -X -r -fz "$out/zip_zip64_folders.zip" .)  # folders that ask for 4.5 locally
(cd tree && zip -q -X -r -fd "$out/zip_descriptor_folders.zip" .)
printf '#!/bin/sh\necho "a self-extracting archive"\nexit 0\n' > stub
cat stub "$out/zip_plain.zip" > "$out/zip_prefix.zip"         # positions that do not count the stub
cat stub "$out/zip_plain.zip" > "$out/zip_prefix_fixed.zip"
zip -q -A "$out/zip_prefix_fixed.zip"                         # positions that do
cat "$out/zip_plain.zip" stub > "$out/zip_trailing.zip"       # bytes after the end record

# 7-Zip
for method in deflate bzip2 lzma ppmd deflate64; do
    7z a -bd -tzip -m0=$method "$out/7z_$method.zip" a.txt c.txt > /dev/null
done

# Python's zipfile
python3 - "$out" <<'PY'
import io, sys, zipfile
out = sys.argv[1]

class Stream(io.RawIOBase):  # a pipe: no seeking back to the local headers
    def __init__(self): self.data = bytearray()
    def writable(self): return True
    def write(self, b): self.data += b; return len(b)

def write(z, force_zip64=False):
    for name in ('a.txt', 'c.txt'):
        with open(name, 'rb') as f, z.open(name, 'w', force_zip64=force_zip64) as w:
            w.write(f.read())

for name, method in (('stored', zipfile.ZIP_STORED), ('bzip2', zipfile.ZIP_BZIP2), ('lzma', zipfile.ZIP_LZMA)):
    with zipfile.ZipFile(f'{out}/py_{name}.zip', 'w', method) as z:
        write(z)
with zipfile.ZipFile(f'{out}/py_zip64.zip', 'w', zipfile.ZIP_DEFLATED) as z:
    write(z, force_zip64=True)
for name, force in (('stream', False), ('stream_zip64', True)):
    s = Stream()
    with zipfile.ZipFile(s, 'w', zipfile.ZIP_DEFLATED) as z:
        write(z, force_zip64=force)
    open(f'{out}/py_{name}.zip', 'wb').write(s.data)
PY

# By hand: what the tools above do not write
zstd -q -19 c.txt -o c.zst
python3 - "$out" <<'PY'
import lzma, struct, sys, zlib
out = sys.argv[1]
a = open('a.txt', 'rb').read()
c = open('c.txt', 'rb').read()

def archive(members, zip64=False):
    """members: (name bytes, stored data, method, flags, crc, size, extra for both headers)"""
    body, central = b'', b''
    for name, data, method, flags, crc, size, extra in members:
        offset = len(body)
        if zip64:
            local_extra = struct.pack('<HHQQ', 1, 16, size, len(data))
            body += struct.pack('<IHHHHHIIIHH', 0x04034B50, 45, flags, method, 0, 0x5A21, crc,
                                0xFFFFFFFF, 0xFFFFFFFF, len(name), len(local_extra)) + name + local_extra + data
            central_extra = struct.pack('<HHQQQ', 1, 24, size, len(data), offset)
            central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, 0x031E, 45, flags, method, 0, 0x5A21, crc,
                                   0xFFFFFFFF, 0xFFFFFFFF, len(name), len(central_extra), 0, 0, 0, 0o100644 << 16,
                                   0xFFFFFFFF) + name + central_extra
        else:
            body += struct.pack('<IHHHHHIIIHH', 0x04034B50, 20, flags, method, 0, 0x5A21, crc, len(data), size,
                                len(name), len(extra)) + name + extra + data
            central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, 0x031E, 20, flags, method, 0, 0x5A21, crc,
                                   len(data), size, len(name), len(extra), 0, 0, 0, 0o100644 << 16,
                                   offset) + name + extra
    n = len(members)
    tail = b''
    if zip64:
        z64 = len(body) + len(central)
        tail = struct.pack('<IQHHIIQQQQ', 0x06064B50, 44, 0x031E, 45, 0, 0, n, n, len(central), len(body))
        tail += struct.pack('<IIQI', 0x07064B50, 0, z64, 1)
        n, size, offset = 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF
    else:
        size, offset = len(central), len(body)
    return body + central + tail + struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, n, n, size, offset, 0)

def member(name, data, method=0, compressed=None, crc=None, flags=0, extra=b''):
    stored = data if compressed is None else compressed
    return (name, stored, method, flags, zlib.crc32(data) if crc is None else crc, len(data), extra)

def deflate(data):
    d = zlib.compressobj(9, zlib.DEFLATED, -15)
    return d.compress(data) + d.flush()

def unicode_path(stored_name, text):
    field = struct.pack('<BI', 1, zlib.crc32(stored_name)) + text.encode()
    return struct.pack('<HH', 0x7075, len(field)) + field

def save(name, data):
    open(f'{out}/{name}', 'wb').write(data)

save('hand_zip64_central.zip', archive([member(b'a.txt', a), member(b'c.txt', c, 8, deflate(c))], zip64=True))
save('hand_xz.zip', archive([member(b'a.txt', a), member(b'c.txt', c, 95, lzma.compress(c, lzma.FORMAT_XZ))]))
save('hand_zstd.zip', archive([member(b'a.txt', a), member(b'c.txt', c, 93, open('c.zst', 'rb').read())]))
save('hand_duplicate.zip', archive([member(b'a.txt', a), member(b'a.txt', b'another a\n')]))
save('hand_crc.zip', archive([member(b'a.txt', a), member(b'c.txt', c, crc=zlib.crc32(c) ^ 1)]))
damaged = bytearray(deflate(c))
damaged[4:12] = b'\xff' * 8
save('hand_damaged.zip', archive([member(b'a.txt', a), member(b'c.txt', c, 8, bytes(damaged))]))
# Names: CP949 without the UTF-8 flag, DOS code page 437 (not CP949), UTF-8 with the flag, and
# the local code page with a UTF-8 copy in an extra field.
save('hand_names.zip', archive([
    member('한글.txt'.encode('cp949'), a),
    member('café.txt'.encode('cp437'), a),
    member('유니코드.txt'.encode(), a, flags=0x0800),
    member(b'unicode-extra.txt', a, extra=unicode_path(b'unicode-extra.txt', '확장.txt')),
]))
PY
ls -l "$out"/*.zip
