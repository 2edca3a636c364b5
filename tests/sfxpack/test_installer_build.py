"""sfxpack exe's branding, refusals, reproducible output and signed installers, read back with
readers we did not write: Debian's pefile, osslsigncode and openssl.
Run: /usr/bin/python3 test_installer_build.py (SFXPACK, STUB and DEMO in the environment)."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree

from win32_stub import stub_or_skip

try:
    import pefile
except ImportError:
    sys.exit("python3-pefile is missing: run scripts/deps.sh")

SFXPACK = os.environ["SFXPACK"]
STUB = stub_or_skip()
DEMO = os.environ["DEMO"]
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
VERSION_INFO = {
    "ProductName": "Démo Quorel ™",
    "CompanyName": "Quorel Informatique",
    "FileVersion": "2.5.17.301",
    "ProductVersion": "2.5 édition bêta",
    "FileDescription": "Programme d'installation",
    "LegalCopyright": "© 2026 Quorel",
}


def copy_demo(folder):
    """The demo's payload files and an install.exe (any PE: it is never run here), which the
    win32 build adds to the demo and exe requires."""
    shutil.copytree(DEMO, folder)
    shutil.copy(STUB, os.path.join(folder, "install.exe"))


def sfxpack(*args, env=None, check=True):
    result = subprocess.run([SFXPACK] + list(args), stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, env=env)
    if check and result.returncode != 0:
        raise AssertionError("sfxpack %s: %s" % (" ".join(args), result.stderr))
    return result


def read(path):
    with open(path, "rb") as f:
        return f.read()


def resources(path):
    """{(type, name): bytes} of every leaf, in directory order, with pefile."""
    pe = pefile.PE(path)
    found = {}
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for n in t.directory.entries:
            for leaf in n.directory.entries:
                key = (t.id if t.name is None else str(t.name),
                       n.id if n.name is None else str(n.name))
                found[key] = pe.get_data(leaf.data.struct.OffsetToData, leaf.data.struct.Size)
    return pe, found


def group_entries(data):
    """(width, height, bit count, size, id) of each image a group icon names."""
    count = struct.unpack_from("<H", data, 4)[0]
    return [struct.unpack_from("<BBxxxxHIH", data, 6 + 14 * i) for i in range(count)]


def icon_images(path):
    """(width, height, bit count, bytes) of each image of an .ico file."""
    data = read(path)
    count = struct.unpack_from("<H", data, 4)[0]
    images = []
    for i in range(count):
        w, h, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        images.append((w, h, bits, data[offset:offset + size]))
    return images


def strings_of(pe):
    """The version strings, as pefile reads them."""
    strings = {}
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    return strings


def level_of(manifest):
    """The level as an XML parser reads it from the manifest, which must be well-formed."""
    asm3 = "{urn:schemas-microsoft-com:asm.v3}"
    root = xml.etree.ElementTree.fromstring(manifest)
    found = root.findall("./%strustInfo/%ssecurity/%srequestedPrivileges/%srequestedExecutionLevel"
                         % ((asm3,) * 4))
    assert len(found) == 1 and found[0].get("uiAccess") == "false", manifest
    return found[0].get("level")


class BuildTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="sfx_build_")
        self.payload = os.path.join(self.dir, "payload")
        copy_demo(self.payload)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def make_icon(self, name, sizes):
        """A real .ico from ImageMagick: small sizes as bitmaps, 256 as PNG."""
        path = self.path(name)
        subprocess.run(["convert", "-size", "256x256", "gradient:navy-gold", "-define",
                        "icon:auto-resize=" + ",".join(map(str, sizes)), path], check=True)
        return path


class Branding(BuildTest):
    def test_icon_version_and_level_read_back(self):
        icon = self.make_icon("brand.ico", [256, 48, 32, 16])
        args = ["exe", self.payload, "-o", self.path("setup.exe"), "--icon", icon]
        for name, value in VERSION_INFO.items():
            args += ["--version-info", "%s=%s" % (name, value)]
        sfxpack(*(args + ["--elevation", "highestAvailable"]))
        pe, found = resources(self.path("setup.exe"))
        _, stub = resources(STUB)

        # Explorer shows the first group icon: ours, with every image of the file in order.
        groups = [k for k in found if k[0] == RT_GROUP_ICON]
        self.assertEqual((RT_GROUP_ICON, "APPICON"), groups[0])
        entries = group_entries(found[groups[0]])
        images = icon_images(icon)
        self.assertEqual(4, len(images))
        self.assertEqual([(w, h, b, len(d)) for w, h, b, d in images],
                         [e[:4] for e in entries])
        self.assertEqual([d for _, _, _, d in images],
                         [found[(RT_ICON, e[4])] for e in entries])
        # The dialogs' own icon and its images are untouched.
        for key in [k for k in stub if k[0] in (RT_ICON, RT_GROUP_ICON)]:
            self.assertEqual(stub[key], found[key], key)

        self.assertEqual(VERSION_INFO, strings_of(pe))
        # A string's value length counts its terminator; a node's key follows its 6-byte header.
        version = found[(RT_VERSION, 1)]
        for name, value in VERSION_INFO.items():
            key = version.index(name.encode("utf-16-le") + b"\0\0")
            self.assertEqual(len(value.encode("utf-16-le")) // 2 + 1,
                             struct.unpack_from("<H", version, key - 4)[0], name)
        fixed = pe.VS_FIXEDFILEINFO[0]
        self.assertEqual((0x00020005, 0x0011012D), (fixed.FileVersionMS, fixed.FileVersionLS))
        self.assertEqual((0x00020005, 0), (fixed.ProductVersionMS, fixed.ProductVersionLS))
        self.assertEqual("highestAvailable", level_of(found[(RT_MANIFEST, 1)]))
        self.assertTrue(pe.verify_checksum())

        # Branding the installer again replaces its icon and leaves no image behind.
        small = self.make_icon("small.ico", [16])
        sfxpack("exe", "--payload", self.path("setup.exe"), "--stub", self.path("setup.exe"),
                "-o", self.path("again.exe"), "--icon", small)
        _, again = resources(self.path("again.exe"))
        ours = group_entries(again[(RT_GROUP_ICON, "APPICON")])
        self.assertEqual([icon_images(small)[0][3]], [again[(RT_ICON, e[4])] for e in ours])
        icons = sorted(k for k in again if k[0] == RT_ICON)
        self.assertEqual(sorted(k for k in stub if k[0] == RT_ICON) + [(RT_ICON, ours[0][4])],
                         icons)

        # An installer given as stub keeps its level, and a new string leaves the others.
        sfxpack("exe", "--payload", self.path("again.exe"), "--stub", self.path("again.exe"),
                "-o", self.path("third.exe"), "--version-info", "FileVersion=3.0")
        pe, third = resources(self.path("third.exe"))
        self.assertEqual("highestAvailable", level_of(again[(RT_MANIFEST, 1)]))
        self.assertEqual("highestAvailable", level_of(third[(RT_MANIFEST, 1)]))
        self.assertEqual(dict(VERSION_INFO, FileVersion="3.0"), strings_of(pe))
        fixed = pe.VS_FIXEDFILEINFO[0]
        self.assertEqual((0x00030000, 0, 0x00020005, 0),
                         (fixed.FileVersionMS, fixed.FileVersionLS,
                          fixed.ProductVersionMS, fixed.ProductVersionLS))
        info = sfxpack("info", self.path("third.exe")).stdout
        lines = ["level: highestAvailable", "icon: 16x16 32-bit"]
        lines += ["version: %s=%s" % (k, v) for k, v in dict(VERSION_INFO, FileVersion="3.0").items()]
        self.assertEqual(lines + ["options: none"], info.splitlines()[1:])
        self.assertIn("icon: 256x256 32-bit, 48x48 32-bit, 32x32 32-bit, 16x16 32-bit\n",
                      sfxpack("info", self.path("setup.exe")).stdout)

    def test_each_level_and_the_default(self):
        _, stub = resources(STUB)
        self.assertEqual("asInvoker", level_of(stub[(RT_MANIFEST, 1)]))
        sfxpack("exe", self.payload, "-o", self.path("default.exe"))
        _, found = resources(self.path("default.exe"))
        self.assertEqual(stub[(RT_MANIFEST, 1)], found[(RT_MANIFEST, 1)])
        for level in ("requireAdministrator", "highestAvailable", "asInvoker"):
            with self.subTest(level=level):
                sfxpack("exe", self.payload, "-o", self.path("l.exe"), "--elevation", level)
                _, found = resources(self.path("l.exe"))
                manifest = found[(RT_MANIFEST, 1)]
                self.assertEqual(level, level_of(manifest))
                self.assertEqual(stub[(RT_MANIFEST, 1)].decode().replace("asInvoker", level),
                                 manifest.decode())

    def test_a_look_alike_level_in_another_attribute_is_not_taken(self):
        stub = read(STUB)
        real = (b'<security><requestedPrivileges>\n<requestedExecutionLevel level="asInvoker" '
                b'uiAccess="false"/>\n</requestedPrivileges></security>')
        self.assertEqual(1, stub.count(real))
        # Either way round: the decoy must neither take the level nor hide the real one.
        for level, decoy, asked in [("asInvoker", "q", "requireAdministrator"),
                                    ("highestAvailable", "asInvoker", "asInvoker")]:
            element = ("<requestedExecutionLevel x=\" level='%s'\" level=\"%s\"/>"
                       % (decoy, level)).encode()
            with self.subTest(element=element, asked=asked):
                with open(self.path("decoy.exe"), "wb") as f:
                    f.write(stub.replace(real, element.ljust(len(real))))
                sfxpack("exe", self.payload, "-o", self.path("d.exe"), "--stub",
                        self.path("decoy.exe"), "--elevation", asked)
                _, found = resources(self.path("d.exe"))
                root = xml.etree.ElementTree.fromstring(found[(RT_MANIFEST, 1)])
                found = root.find(".//{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel")
                self.assertEqual(asked, found.get("level"))
                self.assertEqual(" level='%s'" % decoy, found.get("x"))


class Refusals(BuildTest):
    def test_bad_input_exits_two_with_one_line_and_no_output(self):
        # A stub whose manifest is under another type id.
        data = bytearray(read(STUB))
        pe = pefile.PE(data=bytes(data))
        entry = [e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == RT_MANIFEST][0]
        struct.pack_into("<I", data, entry.struct.get_file_offset(), 23)
        with open(self.path("nomanifest.exe"), "wb") as f:
            f.write(data)
        # A stub whose last icon image has id 0xFFFE: room for one image more, not two.
        entry = [e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == RT_ICON][0]
        data = bytearray(read(STUB))
        struct.pack_into("<I", data, entry.directory.entries[-1].struct.get_file_offset(), 0xFFFE)
        with open(self.path("highicon.exe"), "wb") as f:
            f.write(data)
        directory = struct.pack("<HHH", 0, 1, 1)
        icons = {"bad.ico": directory + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, 5000, 22)
                 + b"x" * 10,
                 "empty_image.ico": directory + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, 0,
                                                            22),
                 "cut.ico": directory + b"\0" * 12}
        for name, icon in icons.items():
            with open(self.path(name), "wb") as f:
                f.write(icon)
        ok = ["exe", self.payload]
        rows = [
            (ok + ["--stub", self.path("nomanifest.exe")], {}, "no application manifest"),
            (ok + ["--elevation", "admin"], {}, "--elevation"),
            (ok + ["--icon", self.path("bad.ico")], {}, "outside the file"),
            (ok + ["--icon", self.path("empty_image.ico")], {}, "outside the file"),
            (ok + ["--icon", self.path("cut.ico")], {}, "cut short"),
            (ok + ["--stub", self.path("highicon.exe"), "--icon",
                   self.make_icon("two.ico", [16, 32])], {}, "no icon ids left"),
            (ok + ["--icon", STUB], {}, "not an icon file"),
            (ok + ["--icon", "/dev/zero"], {}, "/dev/zero is not a regular file"),
            (ok + ["--icon", self.path("none.ico")], {}, "No such file"),
            (ok + ["--version-info", "Product=x"], {}, "not one of"),
            (ok + ["--version-info", "FileVersion=v1"], {}, "numbers"),
            (ok + ["--version-info", "FileVersion=1.70000"], {}, "numbers"),
            (ok + ["--version-info", "FileVersion=65536"], {}, "numbers"),
            (ok + ["--version-info", "Comments=" + "x" * 1001], {}, "at most 1000 bytes"),
            (ok + ["--version-info", "ProductName"], {}, "NAME=VALUE"),
            (ok + ["--version-info", "ProductName=a", "--version-info", "ProductName=b"], {},
             "twice"),
            (ok + ["--version-info", "ProductName=\udcff"], {}, "UTF-8"),
            (ok, {"SOURCE_DATE_EPOCH": "yesterday"}, "SOURCE_DATE_EPOCH"),
            (ok, {"SOURCE_DATE_EPOCH": "4294967296"}, "SOURCE_DATE_EPOCH"),
        ]
        # The controls: each refused option, given a good value, is taken.
        controls = [ok + ["--stub", STUB], ok + ["--elevation", "asInvoker"],
                    ok + ["--icon", self.make_icon("ok.ico", [16])],
                    ok + ["--version-info", "FileVersion=1.65535"]]
        for args in controls:
            self.assertEqual(0, sfxpack(*(args + ["-o", self.path("ok.exe")])).returncode)
        out = self.path("out")
        os.mkdir(out)
        for args, env, message in rows:
            with self.subTest(args=args[2:], env=env):
                result = subprocess.run(
                    [SFXPACK] + args + ["-o", os.path.join(out, "x.exe")],
                    stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                    env=dict(os.environ, **env), errors="surrogateescape")
                self.assertEqual(2, result.returncode, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(1, result.stderr.count("\n"), result.stderr)
                self.assertEqual([], os.listdir(out))


class Reproducible(BuildTest):
    EPOCH = 1700000000

    def build(self, folder, env):
        """The demo installer from a copy of the demo in folder, with its own write times."""
        if not hasattr(self, "icon"):
            self.icon = self.make_icon("r.ico", [32])
        payload = os.path.join(folder, "demo", "payload")
        copy_demo(payload)
        stamp = len(folder) * 1000
        for name in os.listdir(payload):
            os.utime(os.path.join(payload, name), (stamp, stamp))
        out = os.path.join(folder, "setup.exe")
        args = ["exe", payload, "-o", out, "--icon", self.icon,
                "--version-info", "FileVersion=1.0"]
        sfxpack(*args, env=env)
        return out

    def test_two_folders_give_identical_bytes_with_the_given_time(self):
        env = dict(os.environ, SOURCE_DATE_EPOCH=str(self.EPOCH))
        first = self.build(self.path("a"), env)
        second = self.build(self.path("clone/elsewhere"), env)
        self.assertEqual(read(first), read(second))
        pe = pefile.PE(first)
        self.assertEqual(self.EPOCH, pe.FILE_HEADER.TimeDateStamp)
        self.assertEqual(self.EPOCH, pe.DIRECTORY_ENTRY_EXPORT.struct.TimeDateStamp)
        self.assertTrue(pe.verify_checksum())
        os.mkdir(self.path("x"))
        sfxpack("extract", first, "-C", self.path("x"))
        for name in os.listdir(self.path("x")):
            self.assertEqual(self.EPOCH, os.stat(os.path.join(self.path("x"), name)).st_mtime)
        # Control: without it, the files' own times (which differ here) are written.
        env.pop("SOURCE_DATE_EPOCH")
        self.assertNotEqual(read(self.build(self.path("b"), env)),
                            read(self.build(self.path("clone/b"), env)))


class Signing(BuildTest):
    def sign(self, unsigned, signed):
        """Signs with a certificate made here; returns the certificate."""
        cert, key = self.path("cert.pem"), self.path("key.pem")
        if not os.path.exists(cert):
            subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                            "-keyout", key, "-out", cert, "-days", "2", "-subj",
                            "/CN=Quorel test signing"], check=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Démo",
                        "-h", "sha256", "-in", unsigned, "-out", signed], check=True,
                       stdout=subprocess.DEVNULL)
        return cert

    def test_signed_installer_verifies_and_reads(self):
        unsigned, signed = self.path("setup.exe"), self.path("signed.exe")
        sfxpack("exe", self.payload, "-o", unsigned)
        cert = self.sign(unsigned, signed)
        verify = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", signed],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.assertEqual(0, verify.returncode, verify.stdout)
        self.assertIn("Signature verification: ok", verify.stdout)

        self.assertEqual(sfxpack("list", unsigned).stdout, sfxpack("list", signed).stdout)
        sfxpack("verify", signed)
        os.mkdir(self.path("x"))
        sfxpack("extract", signed, "-C", self.path("x"))
        self.assertEqual(sorted(os.listdir(self.payload)), sorted(os.listdir(self.path("x"))))
        for name in os.listdir(self.payload):
            self.assertEqual(read(os.path.join(self.payload, name)),
                             read(os.path.join(self.path("x"), name)))

    def test_new_payload_for_a_signed_installer_only_without_its_signature(self):
        unsigned, signed = self.path("setup.exe"), self.path("signed.exe")
        sfxpack("exe", self.payload, "-o", unsigned)
        self.sign(unsigned, signed)
        refused = sfxpack("exe", self.payload, "--stub", signed, "-o", self.path("r.exe"),
                          check=False)
        self.assertEqual(2, refused.returncode)
        self.assertIn("--drop-signature", refused.stderr)
        self.assertFalse(os.path.exists(self.path("r.exe")))
        sfxpack("exe", self.payload, "--stub", signed, "--drop-signature", "-o",
                self.path("dropped.exe"))
        sfxpack("exe", self.payload, "--stub", unsigned, "-o", self.path("plain.exe"))
        self.assertEqual(read(self.path("plain.exe")), read(self.path("dropped.exe")))
        self.assertEqual(0, pefile.PE(self.path("dropped.exe")).OPTIONAL_HEADER.DATA_DIRECTORY[
            pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]].Size)

        # Bytes after the certificate table: not where signing puts it, so nothing is dropped.
        with open(self.path("trailing.exe"), "wb") as f:
            f.write(read(signed) + b"\0" * 16)
        refused = sfxpack("exe", self.payload, "--stub", self.path("trailing.exe"),
                          "--drop-signature", "-o", self.path("t.exe"), check=False)
        self.assertEqual(2, refused.returncode)
        self.assertIn("not at the end", refused.stderr)
        self.assertFalse(os.path.exists(self.path("t.exe")))


class RunOptions(BuildTest):
    def test_options_are_written_shown_and_never_carried_over(self):
        for flags, word, shown in (([], None, "none"), (["--wait"], 1, "wait"),
                                   (["--cleanup"], 3, "wait, cleanup"),
                                   (["--wait", "--cleanup"], 3, "wait, cleanup")):
            with self.subTest(flags=flags):
                out = self.path("setup.exe")
                sfxpack("exe", self.payload, "-o", out, *flags)
                _, found = resources(out)
                self.assertEqual(None if word is None else struct.pack("<I", word),
                                 found.get(("EXE_OPTS", 1)))
                self.assertIn("\noptions: %s\n" % shown, sfxpack("info", out).stdout)
        # An installer given a new payload keeps only the options asked for now.
        again = self.path("again.exe")
        sfxpack("exe", self.payload, "--stub", self.path("setup.exe"), "-o", again)
        self.assertNotIn(("EXE_OPTS", 1), resources(again)[1])
        self.assertIn("\noptions: none\n", sfxpack("info", again).stdout)
        # An archive carries no options of its own.
        archive = self.path("payload.arc")
        sfxpack("pack", self.payload, "-o", archive)
        self.assertNotIn("options:", sfxpack("info", archive).stdout)


if __name__ == "__main__":
    unittest.main()
