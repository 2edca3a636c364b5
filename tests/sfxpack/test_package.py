"""The Debian package: made with CPack, unpacked into a folder of its own as dpkg would install
it, and its sfxpack builds an installer with the stub it carries, no --stub given.
Run: /usr/bin/python3 test_package.py (CPACK_CONFIG, SFXPACK, STUB and DEMO in the environment)."""
import glob
import os
import shutil
import subprocess
import tempfile
import unittest

from win32_stub import stub_or_skip

stub_or_skip()


def run(*args, cwd=None):
    result = subprocess.run(list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            cwd=cwd)
    if result.returncode != 0:
        raise AssertionError("%s failed: %s%s" % (args[0], result.stdout, result.stderr))
    return result.stdout


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Package(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="sfx_package_")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def test_installed_sfxpack_finds_its_stub(self):
        out = os.path.join(self.dir, "package")
        run("cpack", "--config", os.environ["CPACK_CONFIG"], "-B", out)
        debs = glob.glob(os.path.join(out, "*.deb"))
        self.assertEqual(1, len(debs))
        info = run("dpkg-deb", "-I", debs[0])
        self.assertIn("Package: loftsfx", info)
        self.assertIn("libstdc++6", info)
        root = os.path.join(self.dir, "root")
        run("dpkg", "-x", debs[0], root)
        sfxpack = os.path.join(root, "usr", "bin", "sfxpack")
        stub = os.path.join(root, "usr", "share", "loftsfx", "stub.exe")
        self.assertEqual(read(os.environ["STUB"]), read(stub))

        # Run from another folder, as a user would after installing it.
        work = os.path.join(self.dir, "work")
        os.mkdir(work)
        self.assertIn("stub: %s\n" % stub, run(sfxpack, "--version", cwd=work))
        run(sfxpack, "exe", os.environ["DEMO"], "-o", "setup.exe", cwd=work)
        run(os.environ["SFXPACK"], "exe", os.environ["DEMO"], "-o", "expected.exe", "--stub",
            os.environ["STUB"], cwd=work)
        self.assertEqual(read(os.path.join(work, "expected.exe")),
                         read(os.path.join(work, "setup.exe")))
        listing = run(sfxpack, "list", "setup.exe", cwd=work)
        for name in os.listdir(os.environ["DEMO"]):
            self.assertIn("\t" + name + "\n", listing)


if __name__ == "__main__":
    unittest.main()
