"""The Debian package: made with CPack, unpacked into a folder of its own as dpkg would install
it, and its sfxpack builds an installer with the stub it carries, no --stub given; its manual
page and completion agree with --help, and lintian finds no error or warning where installed.
Run: /usr/bin/python3 test_package.py (CPACK_CONFIG, SFXPACK, STUB and DEMO in the environment)."""
import glob
import os
import shutil
import subprocess
import tempfile
import unittest


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

    def check_manual_page(self, sfxpack, page):
        """The page as man shows it, without a warning, holds every --help text word for word."""
        shown = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", page],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                               env=dict(os.environ, MANWIDTH="100", MAN_KEEP_FORMATTING=""))
        self.assertEqual("", shown.stderr)
        words = " ".join(shown.stdout.split())
        overview = run(sfxpack, "--help")
        commands = [line.split()[0] for line in
                    overview.split("commands:\n")[1].split("\n\n")[0].splitlines()]
        self.assertIn("exe", commands)
        for args in [[]] + [[c] for c in commands]:
            with self.subTest(args=args):
                self.assertIn(" ".join(run(sfxpack, *args, "--help").split()), words)

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
        # The demo's files and an install.exe, as the win32 build completes the demo.
        demo = os.path.join(self.dir, "demo")
        shutil.copytree(os.environ["DEMO"], demo)
        shutil.copy(os.environ["STUB"], os.path.join(demo, "install.exe"))
        run(sfxpack, "exe", demo, "-o", "setup.exe", cwd=work)
        run(os.environ["SFXPACK"], "exe", demo, "-o", "expected.exe", "--stub",
            os.environ["STUB"], cwd=work)
        self.assertEqual(read(os.path.join(work, "expected.exe")),
                         read(os.path.join(work, "setup.exe")))
        listing = run(sfxpack, "list", "setup.exe", cwd=work)
        for name in os.listdir(demo):
            self.assertIn("\t" + name + "\n", listing)

        # The manual page says what each command's --help says, word for word.
        page = os.path.join(root, "usr", "share", "man", "man1", "sfxpack.1.gz")
        self.assertTrue(os.path.exists(page))
        if shutil.which("man"):
            self.check_manual_page(sfxpack, page)

        # Bash completes commands and each command's options.
        completion = os.path.join(root, "usr", "share", "bash-completion", "completions",
                                  "sfxpack")
        for words, expected in [("sfxpack ver", "verify"), ("sfxpack exe --ic", "--icon"),
                                ("sfxpack extract -",
                                 "--help --max-entry-size --quiet --verbose -C -q -v")]:
            line = words.split(" ")
            script = ('source "$1"; COMP_WORDS=(%s); COMP_CWORD=%d; _sfxpack; '
                      'echo "${COMPREPLY[*]}"' % (" ".join(line), len(line) - 1))
            self.assertEqual(expected + "\n", run("bash", "-c", script, "bash", completion))

        # Debian's own checks: no error and no warning.
        if shutil.which("lintian"):
            report = subprocess.run(["lintian", "--fail-on", "error,warning", debs[0]],
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            self.assertEqual(0, report.returncode, report.stdout)
            self.assertNotRegex(report.stdout, r"(?m)^[EW]: ", report.stdout)


if __name__ == "__main__":
    unittest.main()
