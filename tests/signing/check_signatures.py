#!/usr/bin/env python3
"""What ships, checked on this build's files: the binaries stripped with their symbols beside
them, the packages made of exactly those binaries and holding no symbols; then a throwaway
authority (scripts/test-authority.sh), signed copies of the binaries and packages made by the
build's own signing and packaging steps, and osslsigncode's verdict on them. The signed copies
and the authority's certificates stay in <build>/signing-test for the client stand-in's tests.
Results go to a GoogleTest-style XML file, so the test script counts each case.

    check_signatures.py --source DIR --build DIR --arch x86|x64 --version 1.3.1 --objdump PATH
                        --toolchain FILE --xml OUT
"""
import argparse
import filecmp
import glob
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing of the tests' own goes into the source folder
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from gtest_results import write_results  # noqa: E402

PUBLISHER = "/O=Orvalis Tests/CN=Orvalis Test Publisher"


def run(*args, env=None):
    return subprocess.run(list(args), capture_output=True, text=True, env=env)


class Bench:
    def __init__(self, opts):
        self.opts = opts
        self.source, self.build = opts.source, opts.build
        self.signing = os.path.join(self.source, "cmake", "signing.sh")
        self.work = os.path.join(self.build, "signing-test")
        self.ca = os.path.join(self.work, "authority")
        self.signed = os.path.join(self.work, "signed")
        self.binaries = {"OrvalisAddin.dll": os.path.join(self.build, "addin", "OrvalisAddin.dll"),
                         "ResetOrvalis.exe": os.path.join(self.build, "Reset", "ResetOrvalis.exe")}
        self.settings = sorted(p for p in glob.glob(os.path.join(self.build, "installer", "packages", "*.cmake"))
                               if os.path.basename(p) in (f"Orvalis-{opts.version}-{opts.arch}.cmake",
                                                          f"Orvalis-{opts.version}-{opts.arch}-allusers.cmake"))

    def env(self, pfx="signer.pfx", password="signer.pass"):
        env = {k: v for k, v in os.environ.items() if not k.startswith("ORVALIS_SIGN") and k != "ORVALIS_TIMESTAMP_URL"}
        if pfx:
            env["ORVALIS_SIGN_PFX"] = os.path.join(self.ca, pfx)
        if password:
            env["ORVALIS_SIGN_PASSWORD_FILE"] = os.path.join(self.ca, password)
        return env

    def sign(self, path, env=None, description="Orvalis test"):
        return run("bash", self.signing, "sign", path, description, env=env or self.env())

    def prepare(self):
        """The authority and the signed copies; a list of problems (empty when all is there)."""
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.signed)
        made = run("bash", os.path.join(self.source, "scripts", "test-authority.sh"), self.ca)
        if made.returncode:
            return [f"test-authority.sh: {made.stderr}"]
        problems = []
        for name, built in self.binaries.items():
            copy = os.path.join(self.signed, name)
            # A build signed with the user's certificate: its signature goes before ours.
            if run("osslsigncode", "remove-signature", "-in", built, "-out", copy).returncode:
                shutil.copyfile(built, copy)
            signed = self.sign(copy)
            if signed.returncode:
                problems.append(f"signing {name}: {signed.stderr}")
        problems += self.make_variants()
        # The help beside each copy, as a package installs it: the add-in shows it through HTML
        # Help there (the prefix's stand-in), and never starts a help viewer of Wine's.
        chm = os.path.join(self.build, "addin", "orvalis.chm")
        for folder in [self.signed] + glob.glob(os.path.join(self.work, "variants", "*")):
            shutil.copyfile(chm, os.path.join(folder, "orvalis.chm"))
        if len(self.settings) != 2:
            problems.append(f"expected the settings of 2 packages, found {self.settings}")
        for settings in self.settings:
            made = run("cmake", f"-DPACKAGE={settings}", f"-DADDIN={self.signed}/OrvalisAddin.dll",
                       f"-DRESET={self.signed}/ResetOrvalis.exe", f"-DOUTPUT={self.package(settings)}",
                       "-P", os.path.join(self.source, "installer", "make_package.cmake"), env=self.env())
            if made.returncode:
                problems.append(f"packaging {settings}: {made.stdout}{made.stderr}")
        return problems

    def make_variants(self):
        """The add-in as the client's policy tests want it: unsigned, signed under a root nobody
        trusts, signed by a certificate nobody made a trusted publisher, and signed then changed."""
        problems = []
        signed = os.path.join(self.signed, "OrvalisAddin.dll")
        for kind, pfx, password in (("unsigned", None, None), ("other-root", "other.pfx", None),
                                    ("stranger", "stranger.pfx", None), ("tampered", "signer.pfx", "signer.pass")):
            folder = os.path.join(self.work, "variants", kind)
            os.makedirs(folder)
            copy = os.path.join(folder, "OrvalisAddin.dll")
            if run("osslsigncode", "remove-signature", "-in", signed, "-out", copy).returncode:
                problems.append(f"{kind}: the signed copy's signature could not be removed")
                continue
            if pfx:
                out = self.sign(copy, env=self.env(pfx=pfx, password=password))
                if out.returncode:
                    problems.append(f"signing the {kind} copy: {out.stderr}")
                    continue
            if kind == "tampered":
                flip_byte(copy)
        return problems

    def package(self, settings):
        return os.path.join(self.signed, os.path.basename(settings)[:-len(".cmake")] + ".msi")

    def built_package(self, settings):
        return os.path.join(self.build, "installer", os.path.basename(settings)[:-len(".cmake")] + ".msi")

    def signed_files(self):
        return [os.path.join(self.signed, n) for n in self.binaries] + [self.package(s) for s in self.settings]

    def verify(self, path, root="root.crt"):
        return run("osslsigncode", "verify", "-CAfile", os.path.join(self.ca, root), "-in", path)

    def extract(self, msi, into):
        """The package's files by name, extracted into a folder."""
        out = run("msiextract", "-C", into, msi)
        if out.returncode:
            raise RuntimeError(f"msiextract {msi}: {out.stderr}")
        return {os.path.basename(p): p for p in glob.glob(os.path.join(into, "**", "*"), recursive=True)
                if os.path.isfile(p)}


def signer_and_digest(text):
    """The signer's subject and the calculated digest, as osslsigncode verify prints them."""
    subject = re.search(r"Signer's certificate:.*?Subject: (.*?)\n", text, re.S)
    # A package's digest is "Calculated DigitalSignature" in Debian 12's osslsigncode 2.5.
    digest = re.search(r"Calculated (?:message digest|DigitalSignature)\s*:\s*(\S+)", text)
    return (subject.group(1).strip() if subject else None, digest.group(1) if digest else None)


def flip_byte(path):
    """One bit changed a third into the file: in a binary's code, in a package's streams, never
    in the signature at the end."""
    data = bytearray(open(path, "rb").read())
    data[len(data) // 3] ^= 0x01
    open(path, "wb").write(bytes(data))


def debuglink_name(dump):
    """The file name in an objdump -s dump of .gnu_debuglink (the name, a NUL, padding, a CRC)."""
    data = b""
    for line in dump.splitlines():
        m = re.match(r"^ [0-9a-f]+ ((?:[0-9a-f]{2,8} ){1,4})", line)
        if m:
            data += bytes.fromhex(m.group(1).replace(" ", ""))
    return data.split(b"\0", 1)[0].decode("latin-1") if data else None


def case_signed_copies_verify(b):
    failures = []
    for path in b.signed_files():
        out = b.verify(path)
        subject, digest = signer_and_digest(out.stdout)
        print(f"  {os.path.basename(path)}: signer {subject}; calculated digest {digest}")
        if out.returncode or "Signature verification: ok" not in out.stdout:
            failures.append(f"{path}: osslsigncode verify exit code {out.returncode}:\n{out.stdout}{out.stderr}")
        if subject != PUBLISHER:
            failures.append(f"{path}: signer {subject!r}, not {PUBLISHER!r}")
        if not digest:
            failures.append(f"{path}: no calculated digest in\n{out.stdout}")
    return failures


def case_other_root_refuses(b):
    return [f"{p} verifies against a root that did not issue its signer"
            for p in b.signed_files() if b.verify(p, root="other-root.crt").returncode == 0]


def case_flipped_byte(b):
    failures = []
    for path in (os.path.join(b.signed, "OrvalisAddin.dll"), b.package(b.settings[0])):
        flipped = os.path.join(b.work, "flipped-" + os.path.basename(path))
        shutil.copyfile(path, flipped)
        flip_byte(flipped)
        out = b.verify(flipped)
        if out.returncode == 0:
            failures.append(f"{flipped}: one flipped byte still verifies:\n{out.stdout}")
    return failures


def case_packages_hold_the_signed_binaries(b):
    failures = []
    for settings in b.settings:
        with tempfile.TemporaryDirectory() as into:
            files = b.extract(b.package(settings), into)
            for name in b.binaries:
                if name not in files:
                    failures.append(f"{b.package(settings)} holds no {name}")
                elif not filecmp.cmp(files[name], os.path.join(b.signed, name), shallow=False):
                    failures.append(f"{b.package(settings)}: its {name} is not the signed copy")
                elif b.verify(files[name]).returncode:
                    failures.append(f"{b.package(settings)}: its {name} does not verify")
    return failures


def case_build_packages_hold_the_build_binaries(b):
    """The build's own packages are made of its final files (stripped, signed when it signs)
    and carry no symbols."""
    failures = []
    for settings in b.settings:
        msi = b.built_package(settings)
        with tempfile.TemporaryDirectory() as into:
            files = b.extract(msi, into)
            for name, built in b.binaries.items():
                if name not in files or not filecmp.cmp(files[name], built, shallow=False):
                    failures.append(f"{msi}: its {name} is not {built}")
            failures += [f"{msi} holds {n}" for n in files if n.endswith(".debug")]
        table = run("msiinfo", "export", msi, "File").stdout
        failures += [f"{msi}: File table row {line!r}" for line in table.splitlines() if ".debug" in line]
    return failures


def case_shipped_binaries_stripped(b):
    failures = []
    for name, built in b.binaries.items():
        sections = run(b.opts.objdump, "-h", built).stdout
        debug = re.findall(r"\s(\.debug\S*)", sections)
        if debug:
            failures.append(f"{built} still has {debug}")
        if ".gnu_debuglink" not in sections:
            failures.append(f"{built} has no .gnu_debuglink")
        linked = debuglink_name(run(b.opts.objdump, "-s", "-j", ".gnu_debuglink", built).stdout)
        if linked != f"{name}.debug":
            failures.append(f"{built} links to {linked!r}, not {name}.debug")
        symbols = built + ".debug"
        if not os.path.isfile(symbols):
            failures.append(f"no {symbols}")
        elif ".debug_info" not in run(b.opts.objdump, "-h", symbols).stdout:
            failures.append(f"{symbols} holds no .debug_info")
    return failures


def case_failed_signing_leaves_nothing(b):
    failures = []
    password = open(os.path.join(b.ca, "signer.pass")).read().strip()
    wrong = os.path.join(b.work, "wrong.pass")
    open(wrong, "w").write("not the password\n")
    rows = [("wrong password", b.env(password=None) | {"ORVALIS_SIGN_PASSWORD_FILE": wrong}),
            ("no password given", b.env(password=None)),
            ("no such certificate file", b.env(pfx="missing.pfx"))]
    for label, env in rows:
        target = os.path.join(b.work, "failing.dll")
        shutil.copyfile(b.binaries["OrvalisAddin.dll"], target)
        out = b.sign(target, env=env)
        said = out.stdout + out.stderr
        if out.returncode != 1:
            failures.append(f"{label}: exit code {out.returncode}, not 1")
        if os.path.exists(target) or os.path.exists(target + ".signing"):
            failures.append(f"{label}: a file is left: {os.listdir(b.work)}")
        if "osslsigncode" not in said or len(said.splitlines()) < 2:
            failures.append(f"{label}: not osslsigncode's own words: {said!r}")
        if password in said:
            failures.append(f"{label}: the password is in the output")
    return failures


def case_stamp_follows_the_set_up(b):
    failures = []
    stamp = os.path.join(b.work, "stamp")
    password = open(os.path.join(b.ca, "signer.pass")).read().strip()

    def write(env):
        out = run("bash", b.signing, "stamp", stamp, env=env)
        if out.returncode:
            failures.append(f"stamp: {out.stderr}")
        return open(stamp).read(), os.stat(stamp).st_mtime_ns

    unsigned, _ = write(b.env(pfx=None, password=None))
    if unsigned.strip() != "unsigned":
        failures.append(f"unsigned set-up: {unsigned!r}")
    signed, when = write(b.env())
    digest = hashlib.sha256(open(os.path.join(b.ca, "signer.pfx"), "rb").read()).hexdigest()
    if digest not in signed or password in signed:
        failures.append(f"signed set-up: {signed!r}")
    again, when_again = write(b.env())
    if again != signed or when_again != when:
        failures.append("the same set-up touched the stamp")
    other, _ = write(b.env(pfx="stranger.pfx", password=None))
    if other == signed:
        failures.append("another certificate left the stamp as it was")
    return failures


def case_rebuilds_follow_the_signing_set_up(b):
    """The incremental build: a tiny project with the build's signing steps, built unsigned, then
    signed, then with another certificate, then with a wrong password, then right again; its
    DLL and the copy made from it (as a package is) must each time be what the set-up says."""
    failures = []
    project = os.path.join(b.source, "tests", "signing", "incremental")
    build = os.path.join(b.work, "incremental")
    wrong = os.path.join(b.work, "incremental.pass")
    open(wrong, "w").write("not the password\n")
    configured = run("cmake", "-S", project, "-B", build, "-G", "Ninja", f"-DCMAKE_TOOLCHAIN_FILE={b.opts.toolchain}")
    if configured.returncode:
        return [f"configure: {configured.stdout}{configured.stderr}"]
    dll, packaged = os.path.join(build, "tiny.dll"), os.path.join(build, "packaged.dll")
    rows = [("unsigned", b.env(pfx=None, password=None), True, None),
            ("signed", b.env(), True, "Orvalis Test Publisher"),
            ("another certificate", b.env(pfx="stranger.pfx", password=None), True, "Orvalis Test Stranger"),
            ("wrong password", b.env(password=None) | {"ORVALIS_SIGN_PASSWORD_FILE": wrong}, False, None),
            ("right password again", b.env(), True, "Orvalis Test Publisher"),
            ("unsigned again", b.env(pfx=None, password=None), True, None)]
    for label, env, builds, signer in rows:
        built = run("cmake", "--build", build, env=env)
        if (built.returncode == 0) != builds:
            failures.append(f"{label}: build exit code {built.returncode}:\n{built.stdout}{built.stderr}")
            continue
        if not builds:
            if os.path.exists(dll):
                failures.append(f"{label}: {dll} is left after the failed signing")
            if "osslsigncode" not in built.stdout + built.stderr:
                failures.append(f"{label}: the build's output has no word of osslsigncode")
            continue
        for path in (dll, packaged):
            out = b.verify(path)
            subject = signer_and_digest(out.stdout)[0]
            got = subject.rsplit("CN=", 1)[-1] if out.returncode == 0 and subject else None
            if got != signer:
                failures.append(f"{label}: {os.path.basename(path)} signed by {got!r}, not {signer!r}")
    return failures


class TimeStamping:
    """A time-stamping service on the loopback address for one test: openssl ts answers each
    RFC 3161 query with the test authority's time-stamping certificate."""

    def __init__(self, ca):
        import http.server
        import threading
        ca_dir = ca
        service = self
        self.answered = 0

        class Answer(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
                with tempfile.TemporaryDirectory() as tmp:
                    q, r = os.path.join(tmp, "query.tsq"), os.path.join(tmp, "reply.tsr")
                    open(q, "wb").write(query)
                    made = run("openssl", "ts", "-reply", "-config", os.path.join(ca_dir, "tsa.cnf"), "-queryfile", q,
                               "-out", r)
                    reply = open(r, "rb").read() if made.returncode == 0 and os.path.exists(r) else b""
                service.answered += 1 if reply else 0
                self.send_response(200 if reply else 500)
                self.send_header("Content-Type", "application/timestamp-reply")
                self.send_header("Content-Length", str(len(reply)))
                self.end_headers()
                self.wfile.write(reply)

            def log_message(self, *args):
                pass

        self.server = http.server.HTTPServer(("127.0.0.1", 0), Answer)
        self.url = f"http://127.0.0.1:{self.server.server_port}/"
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()


def case_timestamp_from_the_configured_service(b):
    """ORVALIS_TIMESTAMP_URL adds an RFC 3161 countersignature from that service."""
    failures = []
    target = os.path.join(b.work, "timestamped.dll")
    shutil.copyfile(os.path.join(b.work, "variants", "unsigned", "OrvalisAddin.dll"), target)
    with TimeStamping(b.ca) as tsa:
        out = b.sign(target, env=b.env() | {"ORVALIS_TIMESTAMP_URL": tsa.url})
    if out.returncode:
        return [f"signing with a time stamp: {out.stderr}"]
    verified = run("osslsigncode", "verify", "-CAfile", os.path.join(b.ca, "root.crt"),
                   "-TSA-CAfile", os.path.join(b.ca, "root.crt"), "-in", target)
    text = verified.stdout
    if verified.returncode or "Timestamp Server Signature verification: ok" not in text:
        failures.append(f"no verified time stamp:\n{text}{verified.stderr}")
    if tsa.answered != 1:
        failures.append(f"the service answered {tsa.answered} queries, not 1")
    return failures


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--source", required=True)
    p.add_argument("--build", required=True)
    p.add_argument("--arch", required=True)
    p.add_argument("--version", required=True)
    p.add_argument("--objdump", required=True)
    p.add_argument("--toolchain", required=True)
    p.add_argument("--xml", required=True)
    opts = p.parse_args()
    b = Bench(opts)
    problems = b.prepare()
    cases = [("ShippedBinariesAreStrippedWithTheirSymbolsBeside", case_shipped_binaries_stripped),
             ("BuildPackagesHoldTheBuildBinariesAndNoSymbols", case_build_packages_hold_the_build_binaries),
             ("SignedCopiesVerifyAgainstTheTestRootWithTheTestSigner", case_signed_copies_verify),
             ("SignedCopiesDoNotVerifyAgainstAnotherRoot", case_other_root_refuses),
             ("OneFlippedByteFailsTheCheck", case_flipped_byte),
             ("PackagesHoldTheSignedBinaries", case_packages_hold_the_signed_binaries),
             ("FailedSigningLeavesNothingAndSaysWhy", case_failed_signing_leaves_nothing),
             ("StampChangesWithTheSigningSetUpOnly", case_stamp_follows_the_set_up),
             ("TimestampFromTheConfiguredService", case_timestamp_from_the_configured_service),
             ("RebuildsFollowTheSigningSetUp", case_rebuilds_follow_the_signing_set_up)]
    results = []
    for name, check in cases:
        needs_copies = name not in ("ShippedBinariesAreStrippedWithTheirSymbolsBeside",
                                    "BuildPackagesHoldTheBuildBinariesAndNoSymbols")
        if needs_copies and problems:
            results.append((name, ["the signed copies could not be made:"] + problems, None))
            continue
        try:
            results.append((name, check(b), None))
        except Exception as e:  # a broken step is this case's failure, not the script's end
            results.append((name, [f"{type(e).__name__}: {e}"], None))
    return 1 if write_results(opts.xml, "signatures", "Signatures", results) else 0


if __name__ == "__main__":
    sys.exit(main())
