#!/usr/bin/env python3
"""Compiles the help project into orvalis.chm.

    build_chm.py --chmcmd PATH --chmls PATH --source DIR --stage DIR --output FILE

The project's files are copied into a folder of their own and compiled there, since chmcmd
reads the pages, the contents, the index and the [MAP] include from its current folder and
may leave files of its own beside them. A compile that reports an error or a warning (a page
that is missing, a link to a file that isn't there) fails the build.

chmcmd writes the topic of every context number (the strings that #IVB points at in
#STRINGS) as the page's absolute path on the build machine, such as
"/home/me/build/help/project/list_builder.htm". A help viewer looks that path up inside the
file, finds nothing there, and shows an error instead of the page: every context-sensitive
help call would fail. So each such string is cut back to the page's own name, in place and
padded with NULs, so that no other string in #STRINGS moves (the window definitions and the
index point into it too). #STRINGS lies in the compressed section, which can't be rewritten
here; the mended copy goes into the uncompressed section 0 at the end of the file, and the
directory entry is pointed at it. The old copy stays unreferenced in the compressed section.

chmcmd also takes a [MAP] number it can't read as 0 without a word, and a context numbered 0
is left out of the file; [MAP] lines of another form than "#define NAME number" are skipped
just as silently. So the project's [ALIAS] and [MAP] are read here too, and the compiled file
must map exactly those numbers to exactly those pages.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

STAGED_SUFFIXES = (".htm", ".html", ".css", ".png", ".gif", ".jpg", ".hhc", ".hhk", ".hhp", ".h")


class ChmError(Exception):
    pass


def read_encint(data, pos):
    """A CHM variable-length integer: 7 bits a byte, most significant first."""
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos


def encint(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


class Chunk:
    """One PMGL listing chunk of the directory: its entries and where it lies in the file."""

    HEADER = 0x14

    def __init__(self, data, offset, size, quickref_every):
        self.offset, self.size, self.quickref_every = offset, size, quickref_every
        self.raw = data[offset:offset + size]
        if self.raw[:4] != b"PMGL":
            raise ChmError(f"directory chunk at {offset} is not a listing chunk")
        unused = struct.unpack_from("<I", self.raw, 4)[0]
        count = struct.unpack_from("<H", self.raw, size - 2)[0]
        self.entries = []  # [name, section, offset, length]
        pos, end = self.HEADER, size - unused
        while pos < end:
            length, pos = read_encint(self.raw, pos)
            name = self.raw[pos:pos + length].decode("utf-8")
            pos += length
            section, pos = read_encint(self.raw, pos)
            start, pos = read_encint(self.raw, pos)
            size_, pos = read_encint(self.raw, pos)
            self.entries.append([name, section, start, size_])
        if len(self.entries) != count:
            raise ChmError(f"directory chunk at {offset} lists {len(self.entries)} entries but counts {count}")
        # Written back unchanged, the chunk must come out as it went in; otherwise its layout
        # isn't the one this program knows, and rewriting it could break the file.
        if self.build() != self.raw:
            raise ChmError(f"directory chunk at {offset} has a layout this program doesn't know")

    def build(self):
        """The chunk's bytes: header, entries, zeros, then the quick references (the offset of
        every quickref_every-th entry, counted from the first, written backwards from the end)
        and the entry count in the last two bytes."""
        body = bytearray()
        quickrefs = []
        for i, (name, section, start, length) in enumerate(self.entries):
            encoded = name.encode("utf-8")
            entry = encint(len(encoded)) + encoded + encint(section) + encint(start) + encint(length)
            body += entry
            if (i + 1) % self.quickref_every == 0:
                quickrefs.append(len(body) - len(entry))
        tail = b"".join(struct.pack("<H", q) for q in reversed(quickrefs)) + struct.pack("<H", len(self.entries))
        used = self.HEADER + len(body)
        if used + len(tail) > self.size:
            raise ChmError(f"directory chunk at {self.offset} has no room left for the mended entry")
        out = bytearray(self.raw[:self.HEADER])
        struct.pack_into("<I", out, 4, self.size - used)
        out += body
        out += bytes(self.size - used - len(tail))
        out += tail
        return bytes(out)


class Chm:
    def __init__(self, data):
        self.data = bytearray(data)
        if data[:4] != b"ITSF" or struct.unpack_from("<I", data, 4)[0] != 3:
            raise ChmError("not a version 3 CHM file")
        self.size_field, _, self.dir_offset, _, self.content_offset = struct.unpack_from("<QQQQQ", data, 0x38)
        self.size_field += 8  # the file's size sits 8 bytes into header section 0
        itsp = data[self.dir_offset:self.dir_offset + 0x54]
        if itsp[:4] != b"ITSP":
            raise ChmError("the directory header is missing")
        chunk_size, density = struct.unpack_from("<II", itsp, 0x10)
        chunks = struct.unpack_from("<I", itsp, 0x2C)[0]
        first = self.dir_offset + struct.unpack_from("<I", itsp, 0x08)[0]
        self.chunks = [Chunk(data, first + i * chunk_size, chunk_size, 1 + (1 << density))
                       for i in range(chunks) if data[first + i * chunk_size:][:4] == b"PMGL"]
        if struct.unpack_from("<Q", data, self.size_field)[0] != len(data):
            raise ChmError("the file's size in its header is wrong")
        # Section 0 must end where the file ends, so that data appended there belongs to it.
        ends = [e[2] + e[3] for c in self.chunks for e in c.entries if e[1] == 0]
        if self.content_offset + max(ends, default=0) != len(data):
            raise ChmError("the uncompressed section doesn't end at the end of the file")

    def names(self):
        return {e[0] for c in self.chunks for e in c.entries}

    def move_to_section0(self, name, contents):
        """Appends contents to section 0 and points the directory entry name at it."""
        for chunk in self.chunks:
            for entry in chunk.entries:
                if entry[0] == name:
                    entry[1:] = [0, len(self.data) - self.content_offset, len(contents)]
                    self.data += contents
                    self.data[chunk.offset:chunk.offset + chunk.size] = chunk.build()
                    struct.pack_into("<Q", self.data, self.size_field, len(self.data))
                    return
        raise ChmError(f"{name} is not in the file")


def chmls_extract(chmls, chm, name, folder):
    out = os.path.join(folder, "extracted")
    subprocess.run([chmls, "extract", chm, name, out], check=True, capture_output=True)
    if not os.path.exists(out):
        raise ChmError(f"chmls could not extract {name}")
    with open(out, "rb") as f:
        data = f.read()
    os.remove(out)
    return data


def context_topics(ivb, strings):
    """(context number, offset in #STRINGS, topic) for every entry of #IVB."""
    count = struct.unpack_from("<I", ivb, 0)[0] // 8
    out = []
    for i in range(count):
        context, offset = struct.unpack_from("<II", ivb, 4 + 8 * i)
        end = strings.index(b"\0", offset)
        out.append((context, offset, strings[offset:end].decode("utf-8")))
    return out


def mend_context_topics(chm_path, project_dir, chmls):
    """Cuts the project folder off every context topic; returns the topics as mended."""
    with tempfile.TemporaryDirectory() as scratch:
        ivb = chmls_extract(chmls, chm_path, "/#IVB", scratch)
        strings = bytearray(chmls_extract(chmls, chm_path, "/#STRINGS", scratch))
    prefix = os.path.abspath(project_dir).replace("\\", "/").rstrip("/") + "/"
    with open(chm_path, "rb") as f:
        chm = Chm(f.read())
    topics, mended = [], False
    for context, offset, topic in context_topics(ivb, strings):
        if topic.startswith(prefix):
            page = topic[len(prefix):]
            old = len(topic.encode("utf-8"))
            strings[offset:offset + old] = page.encode("utf-8") + bytes(old - len(page.encode("utf-8")))
            topic, mended = page, True
        elif topic.startswith("/") or ":" in topic:
            raise ChmError(f"context {context} names {topic!r}, a path outside the help project")
        if "/" + topic not in chm.names():
            raise ChmError(f"context {context} names {topic!r}, which is not in the help file")
        topics.append((context, topic))
    if not mended:
        return topics
    chm.move_to_section0("/#STRINGS", bytes(strings))
    with open(chm_path, "wb") as f:
        f.write(chm.data)
    # Read back through another reader than ours.
    with tempfile.TemporaryDirectory() as scratch:
        if chmls_extract(chmls, chm_path, "/#STRINGS", scratch) != bytes(strings):
            raise ChmError("the mended #STRINGS doesn't read back")
    return topics


def read_project(path):
    """The project's sections as lists of their lines, comments and blank lines dropped."""
    sections, current = {}, None
    with open(path, encoding="ascii") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith(";"):
                continue
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1].upper(), [])
            elif current is not None:
                current.append(line)
    return sections


def read_map(lines, folder):
    """{name: number} of the [MAP] lines and the files they include (from folder, as chmcmd
    reads them). Only "#define NAME number" counts; a header's own lines (#pragma, comments)
    may stand beside them."""
    numbers = {}
    for line in lines:
        words = line.split()
        if words[0].lower() == "#include" and len(words) == 2:
            with open(os.path.join(folder, words[1]), encoding="ascii") as f:
                numbers.update(read_map([l.strip() for l in f if l.strip()], folder))
        elif words[0].lower() == "#define":
            if len(words) != 3 or not words[2].isdigit() or int(words[2]) == 0:
                raise ChmError(f"[MAP] line {line!r}: the help compiler takes only \"#define NAME number\", "
                               "with a number other than 0 and nothing after it")
            numbers[words[1]] = int(words[2])
        elif not (line.startswith("//") or line.lower() == "#pragma once"):
            raise ChmError(f"[MAP] line {line!r}: the help compiler would skip it")
    return numbers


def expected_topics(project, folder):
    """{context number: page} that the project asks for."""
    aliases = {}
    for line in project.get("ALIAS", []):
        name, equals, page = line.partition("=")
        if not equals:
            raise ChmError(f"[ALIAS] line {line!r} is not NAME=page")
        aliases[name.strip()] = page.strip()
    topics = {}
    for name, number in read_map(project.get("MAP", []), folder).items():
        if name not in aliases:
            raise ChmError(f"[MAP] name {name} has no [ALIAS] line")
        if number in topics:
            raise ChmError(f"[MAP] number {number} is given twice")
        topics[number] = aliases[name]
    return topics


def compile_project(chmcmd, source, stage):
    shutil.rmtree(stage, ignore_errors=True)
    os.makedirs(stage)
    projects = []
    for name in sorted(os.listdir(source)):
        if name.lower().endswith(STAGED_SUFFIXES):
            shutil.copy2(os.path.join(source, name), stage)
            if name.lower().endswith(".hhp"):
                projects.append(name)
    if len(projects) != 1:
        raise ChmError(f"{source} must hold one help project, not {projects}")
    project = read_project(os.path.join(stage, projects[0]))
    expected = expected_topics(project, stage)
    run = subprocess.run([chmcmd, projects[0]], cwd=stage, capture_output=True, text=True)
    problems = [line for line in (run.stdout + run.stderr).splitlines()
                if line.startswith(("Error", "Warning")) or "exception" in line.lower()]
    if run.returncode != 0 or problems:
        raise ChmError(f"chmcmd {projects[0]} failed (exit code {run.returncode}):\n" + (run.stdout + run.stderr))
    for line in project.get("OPTIONS", []):
        key, _, value = line.partition("=")
        if key.strip().lower() == "compiled file":
            return os.path.join(stage, value.strip()), expected
    raise ChmError(f"{projects[0]} names no compiled file")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--chmcmd", required=True)
    p.add_argument("--chmls", required=True)
    p.add_argument("--source", required=True)
    p.add_argument("--stage", required=True)
    p.add_argument("--output", required=True)
    a = p.parse_args()
    try:
        compiled, expected = compile_project(a.chmcmd, a.source, a.stage)
        topics = mend_context_topics(compiled, a.stage, a.chmls)
        if dict(topics) != expected or len(topics) != len(expected):
            raise ChmError(f"the compiled file maps {dict(topics)}, the project asks for {expected}")
    except (ChmError, OSError, subprocess.CalledProcessError, ValueError, struct.error) as e:
        print(f"build_chm.py: {e}", file=sys.stderr)
        return 1
    os.makedirs(os.path.dirname(os.path.abspath(a.output)), exist_ok=True)
    temp = a.output + ".tmp"
    shutil.copyfile(compiled, temp)
    os.replace(temp, a.output)
    print(f"{a.output}: " + ", ".join(f"context {c} -> {t}" for c, t in topics))
    return 0


if __name__ == "__main__":
    sys.exit(main())
