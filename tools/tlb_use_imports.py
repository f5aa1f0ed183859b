#!/usr/bin/env python3
"""Makes a coclass refer to interfaces of an imported type library instead of local copies.

widl writes every interface that a coclass lists into the library it builds, even when an
importlib() provides that interface; a host then sees two different IDTExtensibility2 type
descriptions. This rewrites widl's MSFT output: the local copies (which widl appends after the
library's own types) are dropped, the coclass's references and the interface ids point into
the import table, and the names, type descriptions and import entries that only the copies used
go with them.

usage: tlb_use_imports.py WIDL_OUTPUT.tlb IMPORTED.tlb OUTPUT.tlb
"""
import struct
import sys

HEADER = struct.Struct('<21i')
HEADER_FIELDS = ('magic1 magic2 posguid lcid lcid2 varflags version flags nrtypeinfos helpstring '
                 'helpstringcontext helpcontext nametablecount nametablechars NameOffset helpfile '
                 'CustomDataOffset res44 res48 dispatchpos nimpinfos').split()
SEGMENTS = ('TYPEINFO IMPORTINFO IMPORTFILES REFERENCES GUIDHASH GUID NAMEHASH NAME STRING '
            'TYPEDESC ARRAYDESC CUSTDATA CDGUIDS RES0E RES0F').split()
TYPEINFO_SIZE = 0x64
GUID_ENTRY_SIZE = 24
IMPINFO_SIZE = 12
OFFSET_IS_GUID = 0x10000
TKIND_ENUM, TKIND_RECORD, TKIND_MODULE, TKIND_INTERFACE, TKIND_DISPATCH, TKIND_COCLASS = range(6)
HELPDLL_FLAG = 0x100


class Fail(Exception):
    pass


class Library:
    """An MSFT type library split into header, segments and per-typeinfo member data."""

    def __init__(self, data):
        self.header = dict(zip(HEADER_FIELDS, HEADER.unpack_from(data, 0)))
        if self.header['magic1'] != 0x5446534D:
            raise Fail('not an MSFT type library')
        pos = HEADER.size
        self.helpdll = None
        if self.header['varflags'] & HELPDLL_FLAG:
            self.helpdll = data[pos:pos + 4]
            pos += 4
        n = self.header['nrtypeinfos']
        pos += 4 * n  # typeinfo offsets: always i * TYPEINFO_SIZE
        self.segdir = {}
        self.seg = {}
        for i, name in enumerate(SEGMENTS):
            offset, length, res08, res0c = struct.unpack_from('<4i', data, pos + 16 * i)
            self.segdir[name] = [offset, length, res08, res0c]
            self.seg[name] = bytearray(data[offset:offset + length]) if offset >= 0 else bytearray()
        self.typeinfos = [bytearray(self.seg['TYPEINFO'][i * TYPEINFO_SIZE:(i + 1) * TYPEINFO_SIZE])
                          for i in range(n)]

    def ti(self, i, field):
        return struct.unpack_from('<i', self.typeinfos[i], field * 4)[0]

    def set_ti(self, i, field, value):
        struct.pack_into('<i', self.typeinfos[i], field * 4, value)

    def guid_at(self, offset):
        return bytes(self.seg['GUID'][offset:offset + 16])

    def typeinfo_guids(self):
        return [self.guid_at(self.ti(i, 11)) if self.ti(i, 11) >= 0 else None for i in range(len(self.typeinfos))]


# Fields of a typeinfo record, by index of its 32-bit words.
TI_TYPEKIND, TI_MEMOFFSET, TI_CELEMENT, TI_POSGUID, TI_NAME, TI_DATATYPE1 = 0, 1, 6, 11, 13, 21


def names_of(lib):
    """(offset, raw entry) of every name in the NAME segment."""
    seg, out, i = lib.seg['NAME'], [], 0
    while i < len(seg):
        length = struct.unpack_from('<i', seg, i + 8)[0] & 0xFF
        size = 12 + ((length + 3) & ~3)
        out.append((i, bytearray(seg[i:i + size])))
        i += size
    return out


def rewrite(own, imported):
    libid_of_import = imported.guid_at(imported.header['posguid'])
    imported_kinds = {g: imported.ti(i, TI_TYPEKIND) & 0xF
                      for i, g in enumerate(imported.typeinfo_guids()) if g}
    guids = own.typeinfo_guids()
    copies = [i for i, g in enumerate(guids) if g in imported_kinds]
    if not copies:
        return
    keep = [i for i in range(len(own.typeinfos)) if i not in copies]
    if keep != list(range(len(keep))):
        raise Fail('local copies of imported types are expected after the library\'s own types')
    for i in keep:
        kind = own.ti(i, TI_TYPEKIND) & 0xF
        if kind not in (TKIND_INTERFACE, TKIND_DISPATCH, TKIND_COCLASS) or own.ti(i, TI_CELEMENT) != 0:
            raise Fail('only interfaces without members and coclasses are supported')
        base = own.ti(i, TI_DATATYPE1)
        if kind != TKIND_COCLASS and base >= 0 and (base & 1) == 0 and base >= len(keep) * TYPEINFO_SIZE:
            raise Fail('an interface derives from a dropped copy')

    # The import file entry of the imported library.
    files, impfile_of_import, pos = own.seg['IMPORTFILES'], None, 0
    while pos < len(files):
        guid_offset = struct.unpack_from('<i', files, pos)[0]
        if own.guid_at(guid_offset) == libid_of_import:
            impfile_of_import = pos
        name_len = struct.unpack_from('<H', files, pos + 12)[0] >> 2
        pos = (pos + 14 + name_len + 3) & ~3
    if impfile_of_import is None:
        raise Fail('the imported library has no import file entry')

    # Import entries still used: IDispatch, and the base interfaces of kept interfaces.
    old_impinfo = own.seg['IMPORTINFO']
    used = set()
    if own.header['dispatchpos'] >= 0:
        used.add(own.header['dispatchpos'] & ~3)
    for i in keep:
        href = own.ti(i, TI_DATATYPE1)
        if own.ti(i, TI_TYPEKIND) & 0xF != TKIND_COCLASS and href >= 0 and href & 1:
            used.add(href & ~3)
    remap = {}
    new_impinfo = bytearray()
    for offset in range(0, len(old_impinfo), IMPINFO_SIZE):
        if offset in used:
            remap[offset] = len(new_impinfo)
            new_impinfo += old_impinfo[offset:offset + IMPINFO_SIZE]

    # One guid-based import entry per dropped copy; its guid entry now names that import.
    href_of_copy = {}
    for i in copies:
        guid_offset = own.ti(i, TI_POSGUID)
        entry = len(new_impinfo)
        flags = (imported_kinds[guids[i]] << 24) | OFFSET_IS_GUID
        new_impinfo += struct.pack('<3i', flags, impfile_of_import, guid_offset)
        href_of_copy[i * TYPEINFO_SIZE] = entry | 1
        struct.pack_into('<i', own.seg['GUID'], guid_offset + 16, entry + 1)

    def remap_href(href):
        if href < 0:
            return href
        if href & 1:
            if (href & ~3) not in remap:
                raise Fail('a kept reference uses a dropped import entry')
            return remap[href & ~3] | (href & 3)
        return href_of_copy.get(href, href)

    copy_guids = {own.ti(i, TI_POSGUID) for i in copies}
    for offset in range(0, len(own.seg['GUID']), GUID_ENTRY_SIZE):
        href = struct.unpack_from('<i', own.seg['GUID'], offset + 16)[0]
        if href >= 0 and (href & 3) == 1 and offset not in copy_guids:
            struct.pack_into('<i', own.seg['GUID'], offset + 16, remap_href(href))
    if own.header['dispatchpos'] >= 0:
        own.header['dispatchpos'] = remap_href(own.header['dispatchpos'])
    for i in keep:
        if own.ti(i, TI_TYPEKIND) & 0xF != TKIND_COCLASS:
            own.set_ti(i, TI_DATATYPE1, remap_href(own.ti(i, TI_DATATYPE1)))
    refs = own.seg['REFERENCES']
    for offset in range(0, len(refs), 16):
        struct.pack_into('<i', refs, offset, remap_href(struct.unpack_from('<i', refs, offset)[0]))
    own.seg['IMPORTINFO'] = new_impinfo
    own.header['nimpinfos'] = len(new_impinfo) // IMPINFO_SIZE

    # Names: only the library's and the kept types' own names remain.
    wanted = {own.header['NameOffset']} | {own.ti(i, TI_NAME) for i in keep}
    new_names, name_remap, buckets = bytearray(), {}, [-1] * (len(own.seg['NAMEHASH']) // 4)
    count = chars = 0
    for offset, entry in names_of(own):
        if offset not in wanted:
            continue
        new_offset = len(new_names)
        name_remap[offset] = new_offset
        bucket = (struct.unpack_from('<i', entry, 8)[0] >> 16) & 0x7F
        struct.pack_into('<i', entry, 4, buckets[bucket])
        buckets[bucket] = new_offset
        new_names += entry
        count += 1
        chars += struct.unpack_from('<i', entry, 8)[0] & 0xFF
    own.seg['NAME'] = new_names
    own.seg['NAMEHASH'] = bytearray(struct.pack(f'<{len(buckets)}i', *buckets))
    own.header['NameOffset'] = name_remap[own.header['NameOffset']]
    own.header['nametablecount'] = count
    own.header['nametablechars'] = chars
    for i in keep:
        own.set_ti(i, TI_NAME, name_remap[own.ti(i, TI_NAME)])

    # Type descriptions served only the copies' members.
    own.seg['TYPEDESC'] = bytearray()
    own.seg['ARRAYDESC'] = bytearray()
    own.typeinfos = [own.typeinfos[i] for i in keep]
    own.header['nrtypeinfos'] = len(keep)


def serialize(lib):
    n = len(lib.typeinfos)
    lib.seg['TYPEINFO'] = bytearray(b''.join(lib.typeinfos))
    start = HEADER.size + (4 if lib.helpdll else 0) + 4 * n + 16 * len(SEGMENTS)
    order = sorted(SEGMENTS, key=lambda s: (lib.segdir[s][0] < 0, lib.segdir[s][0]))
    body, pos = bytearray(), start
    for name in order:
        data = lib.seg[name]
        lib.segdir[name][0] = pos if data else -1
        lib.segdir[name][1] = len(data)
        body += data
        pos += len(data)
    # No kept type has members, so every member-data offset points past the end of the file.
    for i in range(n):
        struct.pack_into('<i', lib.typeinfos[i], TI_MEMOFFSET * 4, pos)
    tinfo_offset = lib.segdir['TYPEINFO'][0]
    body[tinfo_offset - start:tinfo_offset - start + n * TYPEINFO_SIZE] = b''.join(lib.typeinfos)
    out = bytearray(HEADER.pack(*[lib.header[f] for f in HEADER_FIELDS]))
    if lib.helpdll:
        out += lib.helpdll
    out += struct.pack(f'<{n}i', *[i * TYPEINFO_SIZE for i in range(n)])
    for name in SEGMENTS:
        out += struct.pack('<4i', *lib.segdir[name])
    return bytes(out + body)


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        with open(argv[1], 'rb') as f:
            own = Library(f.read())
        with open(argv[2], 'rb') as f:
            imported = Library(f.read())
        rewrite(own, imported)
        data = serialize(own)
    except (Fail, struct.error) as e:
        print(f'{argv[0]}: {argv[1]}: {e}', file=sys.stderr)
        return 1
    with open(argv[3], 'wb') as f:
        f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
