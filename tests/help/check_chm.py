#!/usr/bin/env python3
"""The built help as chmls reads it back: the context numbers the add-in passes lead to their
pages, every page, the contents and the index are inside, no link between them is broken, and
the help opens at its contents page. Then the help build itself on projects with one fault
each, which it must refuse rather than compile into a help file that fails its users.

    check_chm.py --chmls PATH --chmcmd PATH --chm FILE --source DIR --xml OUT
"""
import argparse
import html.parser
import os
import posixpath
import re
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing of the tests' own goes into the source folder
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from gtest_results import write_results  # noqa: E402

# What the add-in passes, and the page each must open.
CONTEXTS = [(1100, "list_builder.htm"), (1200, "startup_note.htm")]
CONTENTS_PAGE = "index.htm"
TOC, INDEX = "orvalis.hhc", "orvalis.hhk"


def chmls(tool, *args, cwd=None):
    run = subprocess.run([tool, *args], cwd=cwd, capture_output=True, text=True)
    if run.returncode != 0:
        raise RuntimeError(f"chmls {' '.join(args)} failed: {run.stdout}{run.stderr}")
    return run.stdout


class Links(html.parser.HTMLParser):
    """The links of a page or of a contents or index file, its anchors, its title, and the
    names and targets of its contents entries."""

    def __init__(self):
        super().__init__()
        self.links, self.anchors, self.entries = [], set(), []
        self.title, self._in_title, self._name = "", False, None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        for attr in ("href", "src"):
            if attr in a and tag in ("a", "link", "img", "script"):
                self.links.append(a[attr])
        for attr in ("name", "id"):
            if attr in a and tag != "param":
                self.anchors.add(a[attr])
        if tag == "title":
            self._in_title = True
        if tag == "param" and a.get("name", "").lower() == "name":
            self._name = a.get("value")
        if tag == "param" and a.get("name", "").lower() == "local":
            self.links.append(a.get("value", ""))
            self.entries.append((self._name, a.get("value", "")))

    def handle_endtag(self, tag):
        if tag == "title":
            self._in_title = False

    def handle_data(self, data):
        if self._in_title:
            self.title += data


def parse(path):
    p = Links()
    with open(path, encoding="ascii", errors="replace") as f:
        p.feed(f.read())
    return p


class Built:
    """The help file read back: its listing, its files extracted, its aliases and settings."""

    def __init__(self, tool, chm, scratch):
        self.names = {line.strip() for line in chmls(tool, "-n", "-p", "list", chm).splitlines()
                      if line.startswith("/")}
        self.files = os.path.join(scratch, "files")
        chmls(tool, "extractall", chm, self.files)
        # extractalias writes <name>.ali beside the file it reads, so it reads a copy.
        copy = os.path.join(scratch, "alias", "help.chm")
        os.makedirs(os.path.dirname(copy))
        shutil.copyfile(chm, copy)
        chmls(tool, "extractalias", copy, cwd=os.path.dirname(copy))
        self.aliases = {}
        with open(os.path.join(os.path.dirname(copy), "help.ali"), encoding="utf-8") as f:
            for line in f:
                key, _, topic = line.strip().partition("=")
                self.aliases[int(re.sub(r"\D", "", key))] = topic
        self.system = chmls(tool, "printsystem", chm)
        self.windows = chmls(tool, "printwindows", chm)

    def path(self, name):
        return os.path.join(self.files, name)


def setting(listing, label):
    """The value after "label ... :" in a chmls print listing, without its string index."""
    m = re.search(re.escape(label) + r"[^:\n]*:\s*(.*?)\s*(?:\(index value = \d+\))?\s*$", listing, re.M)
    return m.group(1).rstrip("\0 ") if m else None


def check_built(built, source):
    pages = sorted(n for n in os.listdir(source) if n.endswith(".htm"))
    cases = []

    for context, page in CONTEXTS:
        f = []
        if built.aliases.get(context) != page:
            f.append(f"context {context}: expected {page!r}, actual {built.aliases.get(context)!r}")
        if "/" + page not in built.names:
            f.append(f"{page} is not in the file")
        cases.append((f"Contexts.{context}OpensItsPage", f))
    f = []
    if sorted(built.aliases) != sorted(c for c, _ in CONTEXTS):
        f.append(f"contexts: expected {sorted(c for c, _ in CONTEXTS)}, actual {sorted(built.aliases)}")
    cases.append(("Contexts.NoneBesideThoseTheAddInPasses", f))

    f = []
    for name in pages + [TOC, INDEX, "orvalis.css"]:
        if "/" + name not in built.names:
            f.append(f"{name} is not in the file")
            continue
        with open(os.path.join(source, name), "rb") as a, open(built.path(name), "rb") as b:
            page = a.read()
            if page != b.read():
                f.append(f"{name} reads back different from its source")
        if any(byte > 0x7E or (byte < 0x20 and byte not in b"\r\n\t") for byte in page):
            f.append(f"{name} holds characters beyond plain ASCII, which its declared character set lacks")
    cases.append(("Contents.EveryPageTheContentsAndTheIndexAreInside", f))

    f = []
    toc = parse(built.path(TOC))
    targets = [local for _, local in toc.entries]
    if sorted(set(targets)) != pages:
        f.append(f"contents entries: expected every page {pages}, actual {sorted(set(targets))}")
    for name, local in toc.entries:
        if local in pages and parse(built.path(local)).title.strip() != name:
            f.append(f"contents entry {name!r} opens {local}, whose title is {parse(built.path(local)).title!r}")
    cases.append(("Contents.ListEveryPageUnderItsTitle", f))

    f = []
    for name in pages + [TOC, INDEX]:
        for link in parse(built.path(name)).links:
            if re.match(r"^(https?|mailto):", link):
                continue
            target, _, anchor = link.partition("#")
            resolved = posixpath.normpath(posixpath.join(posixpath.dirname(name), target)) if target else name
            if not target and not anchor or ":" in target or target.startswith("/") or "/" + resolved not in built.names:
                f.append(f"{name}: link {link!r} leads to no file of the help")
            elif anchor and resolved.endswith(".htm") and anchor not in parse(built.path(resolved)).anchors:
                f.append(f"{name}: link {link!r} names no anchor of {resolved}")
    cases.append(("Links.NoneIsBroken", f))

    f = []
    for what, listing, label in [("default topic", built.system, "Default topic"),
                                 ("window's default file", built.windows, "Default File"),
                                 ("window's home page", built.windows, "File when Home button is pressed")]:
        if setting(listing, label) != CONTENTS_PAGE:
            f.append(f"{what}: expected {CONTENTS_PAGE!r}, actual {setting(listing, label)!r}")
    for what, label, expected in [("window's contents", "TOC File", TOC), ("window's index", "Index File", INDEX)]:
        if setting(built.windows, label) != expected:
            f.append(f"{what}: expected {expected!r}, actual {setting(built.windows, label)!r}")
    cases.append(("Contents.HelpOpensAtTheContentsPage", f))
    return cases


# Projects with one fault each: (case, file to change, text in it, replacement, what the build says).
BROKEN_PROJECTS = [
    ("LinkToAMissingPage", "index.htm", 'href="removing.htm"', 'href="removed.htm"', "removed.htm"),
    ("IndexEntryToAMissingAnchor", INDEX, "list_builder.htm#limit", "list_builder.htm#nolimit", "nolimit"),
    ("PageMissingFromTheFolder", "orvalis.hhp", "\nremoving.htm\n", "\ngone.htm\n", "gone.htm"),
    ("MapNameWithoutAlias", "orvalis.hhp", "IDH_STARTUP_NOTE=startup_note.htm", "", "IDH_STARTUP_NOTE"),
    ("MapNumberThatIsNone", "help_contexts.h", "IDH_STARTUP_NOTE 1200", "IDH_STARTUP_NOTE 12OO", "12OO"),
    ("MapNumberWithARemark", "help_contexts.h", "IDH_STARTUP_NOTE 1200", "IDH_STARTUP_NOTE 1200 // note",
     "IDH_STARTUP_NOTE 1200 // note"),
    ("MapLineOfAnotherForm", "help_contexts.h", "#define IDH_STARTUP_NOTE 1200", "IDH_STARTUP_NOTE=1200",
     "IDH_STARTUP_NOTE=1200"),
]


def check_build_refuses(tools, source, scratch):
    cases = []
    build = tools.build_tool
    for name, changed, text, replacement, said in BROKEN_PROJECTS:
        f = []
        project = os.path.join(scratch, name, "source")
        shutil.copytree(source, project)
        path = os.path.join(project, changed)
        with open(path, encoding="ascii") as fh:
            content = fh.read()
        if text not in content:
            f.append(f"{changed} no longer holds {text!r}: update this case")
        with open(path, "w", encoding="ascii") as fh:
            fh.write(content.replace(text, replacement))
        output = os.path.join(scratch, name, "out", "orvalis.chm")
        run = subprocess.run([sys.executable, build, "--chmcmd", tools.chmcmd, "--chmls", tools.chmls,
                              "--source", project, "--stage", os.path.join(scratch, name, "stage"),
                              "--output", output], capture_output=True, text=True)
        if run.returncode != 1:
            f.append(f"exit code: expected 1, actual {run.returncode}")
        if os.path.exists(output):
            f.append("a help file was written")
        if said not in run.stderr:
            f.append(f"the build's message doesn't name {said!r}:\n{run.stderr}")
        cases.append((f"Build.Refuses{name}", f))
    return cases


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--chmls", required=True)
    p.add_argument("--chmcmd", required=True)
    p.add_argument("--chm", required=True)
    p.add_argument("--source", required=True)
    p.add_argument("--build-tool", required=True)
    p.add_argument("--xml", required=True)
    a = p.parse_args()
    with tempfile.TemporaryDirectory() as scratch:
        try:
            cases = check_built(Built(a.chmls, a.chm, scratch), a.source)
        except (OSError, RuntimeError, ValueError) as e:
            cases = [("Contents.ReadBack", [f"the help file can't be read back: {e}"])]
        cases += check_build_refuses(a, a.source, scratch)
    failed = write_results(a.xml, "help_chm", "HelpFile", [(n, f, None) for n, f in cases])
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
