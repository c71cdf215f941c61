#!/usr/bin/env python3
"""Writes the archive fixtures of this folder. Each broken archive is named
after what it breaks; run again after changing this file."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def entry(offset, size, name):
    return struct.pack('<II', offset, size) + name.ljust(128, b'\0')[:128]


def archive(entries, count=None, signature=b'PAK\0'):
    """entries: (name, data); data follows the table in order."""
    n = len(entries) if count is None else count
    out = bytearray(signature + struct.pack('<I', n) + b'\0' * 8)
    offset = 16 + 136 * len(entries)
    table, data = bytearray(), bytearray()
    for name, payload in entries:
        table += entry(offset, len(payload), name)
        data += payload
        offset += len(payload)
    return bytes(out + table + data)


def encode_text(text):
    s = len(text) & 0xFF
    out = bytearray()
    for b in text:
        s = (s + b) & 0xFF
        out.append(s)
    return bytes(out)


def write(name, data):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


good = archive([
    (b'MODELS\\LOKS\\BR218.3DS', b'model bytes'),
    (b'SUB\\A.TXT', b'sub a'),
    (b'lower\\case.txt', b'stored in lower case'),
    (b'TEXT\\ABC.TXT', bytes([0x64, 0xC6, 0x29])),
    (b'EMPTY.DAT', b''),
])
write('good.pak', good)
write('no_entries.pak', archive([]))
write('empty_file.pak', b'')
write('short_header.pak', b'PAK\0\x01\0\0\0\0\0')
write('wrong_signature.pak', archive([(b'A.TXT', b'a')], signature=b'KAP\0'))
write('truncated_table.pak', archive([(b'A.TXT', b'a'), (b'B.TXT', b'b')])[:16 + 136 + 40])
write('absurd_count.pak', archive([(b'A.TXT', b'a')], count=0xFFFFFFFF))
name128 = b'N' * 128
write('name_without_terminator.pak', archive([(name128, b'full name'), (b'NEXT.TXT', b'next')]))
bad = bytearray(archive([(b'INSIDE.TXT', b'in'), (b'OUTSIDE.TXT', b'out')]))
bad[16 + 136:16 + 136 + 8] = struct.pack('<II', 0xFFFFFF00, 200)
write('data_outside_file.pak', bytes(bad))
