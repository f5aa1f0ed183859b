#!/usr/bin/env python3
"""The packages' tables as msiinfo reads them: nothing registers itself or runs code at install
time, the components, files, registry rows, shortcut and upgrade rows are exactly the expected
ones, and the summary says who may install. Results go to a GoogleTest-style XML file, so the
test script counts each case.

    check_tables.py --msiinfo PATH --build DIR --arch x86|x64 --version 1.3.1 --xml OUT
"""
import argparse
import os
import subprocess
import sys

sys.dont_write_bytecode = True  # nothing of the tests' own goes into the source folder
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from gtest_results import write_results  # noqa: E402

CLSID = "{1E9C28FE-D57F-4BBB-A653-40161E28C129}"
LIBID = "{3A89FDAD-4652-48A2-9D5C-25162A8D86C2}"
ADDIN_ITF = "{D833542C-D8B3-4009-AAD2-EC4CD58E53C0}"
MARSHALLER = "{00020424-0000-0000-C000-000000000046}"
PROGID = "ORVALISutility.Addin"
UPGRADE_CODES = {("x86", "user"): "{5E0A7C21-94D3-4F6B-8B12-C4A9E61D0F37}",
                 ("x64", "user"): "{2B9D6F83-71C4-4A2E-B5D0-8E3F1A6C7B95}",
                 ("x86", "machine"): "{8C1F4B62-2E57-4B0F-9A63-3D5E0C7A91B4}",
                 ("x64", "machine"): "{D46A0E37-5B82-4C19-9F7A-2C6B8E01D4A3}"}
# Tables through which a package registers COM servers itself or runs code of its own.
FORBIDDEN_TABLES = ["SelfReg", "Class", "ProgId", "TypeLib", "AppId", "Extension", "Verb", "MIME",
                    "CustomAction", "Binary"]


class Msi:
    def __init__(self, msiinfo, path):
        self.msiinfo, self.path = msiinfo, path
        self.tables = set(self.run("tables").split())

    def run(self, *args):
        return subprocess.run([self.msiinfo, *args, self.path], check=True, capture_output=True, text=True).stdout

    def rows(self, table):
        """The table's rows as tuples of strings; an absent table has none."""
        if table not in self.tables:
            return []
        lines = subprocess.run([self.msiinfo, "export", self.path, table], check=True, capture_output=True,
                               text=True).stdout.split("\n")[3:]
        return [tuple(line.rstrip("\r").split("\t")) for line in lines if line.strip()]

    def summary(self):
        out = {}
        for line in self.run("suminfo").splitlines():
            key, _, value = line.partition(": ")
            out[key] = value
        return out


def registry_rows(arch, scope):
    root = "1" if scope == "user" else "2"
    clsid = f"Software\\Classes\\CLSID\\{CLSID}"
    lib = f"Software\\Classes\\TypeLib\\{LIBID}\\8.0"
    itf = f"Software\\Classes\\Interface\\{ADDIN_ITF}"
    host = f"Software\\Microsoft\\Office\\Outlook\\Addins\\{PROGID}"
    platform = "win64" if arch == "x64" else "win32"
    addin = [
        (clsid, "", PROGID),
        (clsid + "\\InprocServer32", "", "[#OrvalisAddin.dll]"),
        (clsid + "\\InprocServer32", "ThreadingModel", "Apartment"),
        (clsid + "\\ProgID", "", PROGID),
        (clsid + "\\VersionIndependentProgID", "", PROGID),
        (clsid + "\\TypeLib", "", LIBID),
        (f"Software\\Classes\\{PROGID}", "", PROGID),
        (f"Software\\Classes\\{PROGID}\\CLSID", "", CLSID),
        (lib, "", "Orvalise and Outlook DL utility."),
        (lib + f"\\0\\{platform}", "", "[#OrvalisAddin.dll]"),
        (lib + "\\FLAGS", "", "0"),
        (lib + "\\HELPDIR", "", "[INSTALLDIR]"),
        (itf, "", "_Addin"),
        (itf + "\\ProxyStubClsid", "", MARSHALLER),
        (itf + "\\ProxyStubClsid32", "", MARSHALLER),
        (itf + "\\TypeLib", "", LIBID),
        (itf + "\\TypeLib", "Version", "8.0"),
    ]
    entry = [(host, "FriendlyName", "Orvalis Outlook DL Utility"),
             (host, "Description", "Orvalis Outlook DL Utility"),
             (host, "LoadBehavior", "#3")]
    # The user's options go at uninstall, whatever the package's scope.
    options = [("1", "Software\\Orvalis", "-", "", "Addin")]
    return sorted([(root, *r, "Addin") for r in addin] + [(root, *r, "HostAddInEntry") for r in entry] + options)


def expected_components(arch, scope):
    """(component, directory, attributes) of each component; 256 is 64-bit, 4 a registry key path."""
    wide = 256 if arch == "x64" else 0
    rows = [("Addin", "INSTALLDIR", str(wide)),
            ("HostAddInEntry", "INSTALLDIR", str(wide | 4)),
            ("Help", "INSTALLDIR", str(wide)),
            ("Reset", "INSTALLDIR", str(wide))]  # each package's reset is of its own bitness
    if scope == "user":
        rows.append(("ProgramsFolder", "ProgramsFolder", "0"))
    return sorted(rows)


def check_package(msi, arch, scope, version, build):
    """Yields (case name, list of failure messages) for one package."""
    def expect(failures, what, expected, actual):
        if expected != actual:
            failures.append(f"{what}:\n  expected {expected!r}\n  actual   {actual!r}")

    f = []
    for table in FORBIDDEN_TABLES:
        expect(f, f"rows of {table}", [], msi.rows(table))
    sequence = [row[0] for row in msi.rows("InstallExecuteSequence")]
    expect(f, "self-registration actions", [], [a for a in sequence if a in ("SelfRegModules", "SelfUnregModules")])
    yield "RegistersNothingItselfAndRunsNoCodeOfItsOwn", f

    f = []
    components = sorted((r[0], r[2], r[3]) for r in msi.rows("Component"))
    expect(f, "components", expected_components(arch, scope), components)
    keys = {r[0]: r[5] for r in msi.rows("Component")}
    expect(f, "key path of Addin", "OrvalisAddin.dll", keys.get("Addin"))
    expect(f, "key path of Reset", "ResetOrvalis.exe", keys.get("Reset"))
    expect(f, "key path of Help", "orvalis.chm", keys.get("Help"))
    features = sorted(msi.rows("FeatureComponents"))
    expect(f, "feature components", sorted(("Complete", c[0]) for c in expected_components(arch, scope)), features)
    yield "ComponentsAreTheExpectedOnes", f

    f = []
    reset = os.path.join(build, "Reset", "ResetOrvalis.exe")
    files = sorted((r[0], r[1], r[2], r[3]) for r in msi.rows("File"))
    expect(f, "files", sorted([
        ("OrvalisAddin.dll", "Addin", "OrvalisAddin.dll", str(os.path.getsize(os.path.join(build, "addin", "OrvalisAddin.dll")))),
        ("ResetOrvalis.exe", "Reset", "ResetOrvalis.exe", str(os.path.getsize(reset))),
        ("orvalis.chm", "Help", "orvalis.chm", str(os.path.getsize(os.path.join(build, "addin", "orvalis.chm")))),
    ]), files)
    parents = {r[0]: (r[1], r[2]) for r in msi.rows("Directory")}
    if scope == "user":
        expect(f, "install folder", ("ProgramsFolder", "Orvalis"), parents.get("INSTALLDIR"))
        expect(f, "programs folder", ("LocalAppDataFolder", "Programs"), parents.get("ProgramsFolder"))
    else:
        machine = "ProgramFiles64Folder" if arch == "x64" else "ProgramFilesFolder"
        expect(f, "install folder", (machine, "Orvalis"), parents.get("INSTALLDIR"))
    removed = sorted((r[1], r[3], r[4]) for r in msi.rows("RemoveFile"))
    expect(f, "folders removed at uninstall",
           sorted([("Reset", "INSTALLDIR", "2")] + ([("ProgramsFolder", "ProgramsFolder", "2")] if scope == "user" else [])),
           removed)
    yield "FilesAndFoldersAreTheExpectedOnes", f

    f = []
    rows = sorted(r[1:] for r in msi.rows("Registry"))
    expect(f, "registry rows", registry_rows(arch, scope), rows)
    yield "RegistryRowsAreEveryValueTheAddInNeedsUnderItsScope", f

    f = []
    shortcuts = [(r[1], r[2], r[3], r[4], r[11]) for r in msi.rows("Shortcut")]
    expect(f, "shortcuts", [("ProgramMenuFolder", "Remove Orvalis from Outlook", "Reset", "[#ResetOrvalis.exe]", "INSTALLDIR")],
           shortcuts)
    yield "ShortcutStartsTheResetProgram", f

    f = []
    properties = dict(msi.rows("Property"))
    expect(f, "ALLUSERS", None if scope == "user" else "1", properties.get("ALLUSERS"))
    expect(f, "ProductVersion", version, properties.get("ProductVersion"))
    expect(f, "UpgradeCode", UPGRADE_CODES[arch, scope], properties.get("UpgradeCode"))
    summary = msi.summary()
    expect(f, "template", ("x64" if arch == "x64" else "Intel") + ";1033", summary.get("Template"))
    # Word count: 2 compressed, 8 no elevation needed.
    expect(f, "word count", "10 (a)" if scope == "user" else "2 (2)", summary.get("Source"))
    yield "SummaryAndPropertiesSayWhoMayInstall", f

    f = []
    upgrade = sorted((r[0], r[1], r[2], r[4], r[6]) for r in msi.rows("Upgrade"))
    code = UPGRADE_CODES[arch, scope]
    other = UPGRADE_CODES["x86" if arch == "x64" else "x64", scope]
    # Older versions of this family go, newer ones stay; the other architecture's go whatever
    # their version (256: the minimum is included).
    expect(f, "upgrade rows", sorted([(code, "", version, "1", "WIX_UPGRADE_DETECTED"),
                                      (code, version, "", "2", "WIX_DOWNGRADE_DETECTED"),
                                      (other, "0.0.0", "", "256", "OTHER_ARCHITECTURE_FOUND")]), upgrade)
    order = {a: i for i, a in enumerate(sequence)}
    expect(f, "older versions removed between InstallValidate and InstallInitialize", True,
           order.get("InstallValidate", 99) < order.get("RemoveExistingProducts", -1) < order.get("InstallInitialize", -1))
    yield "OlderVersionsAndTheOtherArchitectureAreReplacedNewerOnesKept", f


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--msiinfo", required=True)
    p.add_argument("--build", required=True)
    p.add_argument("--arch", required=True, choices=["x86", "x64"])
    p.add_argument("--version", required=True)
    p.add_argument("--xml", required=True)
    a = p.parse_args()

    cases = []  # (name, failures)
    installer = os.path.join(a.build, "installer")
    packages = [("user", f"Orvalis-{a.version}-{a.arch}.msi"), ("machine", f"Orvalis-{a.version}-{a.arch}-allusers.msi")]
    codes = {}
    for scope, name in packages:
        msi = Msi(a.msiinfo, os.path.join(installer, name))
        codes[name] = dict(msi.rows("Property")).get("ProductCode")
        for case, failures in check_package(msi, a.arch, scope, a.version, a.build):
            cases.append((f"{a.arch}_{scope}.{case}", failures))
    # Each package is a product of its own; the same version built again stays the same product.
    distinct = len(set(codes.values())) == len(codes)
    cases.append((f"{a.arch}.EachPackageHasAProductCodeOfItsOwn",
                  [] if distinct else [f"product codes {codes!r}"]))

    failed = write_results(a.xml, "installer_tables", "InstallerTables", [(name, f, None) for name, f in cases])
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
