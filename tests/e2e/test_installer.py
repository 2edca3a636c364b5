"""End-to-end tests of the installer: real installers made by sfxpack, run under Wine, driven
through their dialogs with keys and clicks. Run: python3 test_installer.py [Class[.test]]"""
import os
import re
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

ENV = None

# Dialog units of the "Quitter" button's centre in the dialog template.
QUITTER = (246, 47)


def setUpModule():
    global ENV
    ENV = harness.Environment()


def tearDownModule():
    if ENV:
        ENV.close()


class InstallerTest(unittest.TestCase):
    def case(self, suffix="", **kwargs):
        name = self.id().split(".")[-1].replace("test_", "t_") + suffix
        return harness.Case(ENV, name.lower(), **kwargs)

    def product_case(self, suffix=""):
        """An installer of a product whose payload holds install.exe."""
        case = self.case(suffix)
        case.add_descriptor()
        case.add_probe("install.exe")
        case.build()
        return case

    def lingering_case(self):
        """A product whose extraction dialog stays on screen for a moment: what an earlier run
        left takes a while to clean."""
        case = self.case()
        case.add_descriptor("Mon logiciel \xe9t\xe9")
        case.add_probe("install.exe")
        case.build()
        os.makedirs(case.extraction)
        for i in range(3000):
            open(os.path.join(case.extraction, "ancien%04d.tmp" % i), "w").close()
        return case

    def assertEnded(self, run, exit_code=0):
        """The installer ended by itself with exit_code, and so did all it started."""
        self.assertIsNone(run.error)
        self.assertEqual(exit_code, run.exit_code)
        self.assertEqual(0, run.remaining, "still running: %s" % run.left_over)

    def assertStartedOnce(self, run, name, arguments=""):
        """name ran once, from the extraction folder, with its quoted path (and arguments)."""
        started = run.started(name)
        self.assertEqual(1, len(started), "%s: %s" % (name, run.probes))
        folder = harness.windows_path(run.case.extraction)
        expected = '"%s\\%s"' % (folder, name) + (" " + arguments if arguments else "")
        self.assertEqual(expected, started[0]["cmdline"])
        self.assertEqual(folder, started[0]["cwd"])
        return started[0]


class DecisionTable(InstallerTest):
    def test_nothing_to_install_shows_message(self):
        case = self.case()
        case.add("lisezmoi.txt", "rien")
        case.add_probe("install.exe")
        case.build()
        captions = []

        def acknowledge(c):
            window = c.wait_window()
            # The box is the installer's only visible window: the host window stays hidden.
            self.assertEqual([window], c.windows())
            captions.append(c.caption(window))
            c.screenshot("message-box.png", window)
            c.press(window, "Return")

        run = case.run("", interact=acknowledge)
        self.assertEnded(run)
        self.assertEqual([harness.TITLE], captions)
        self.assertEqual([], run.probes)
        self.assertIsNone(case.extracted(), "nothing is extracted")
        # A silent run says it on the log channels only: nothing waits for a click.
        run = case.run("auto=1")
        self.assertEnded(run)
        self.assertEqual([], run.probes)

    def test_product_only_starts_install(self):
        case = self.case()
        case.add_descriptor()
        case.add_probe("install.exe")
        case.build()
        run = case.run("-s auto=1")
        self.assertEnded(run)
        self.assertStartedOnce(run, "install.exe", "-s auto=1")
        self.assertEqual(1, len(run.probes))
        self.assertEqual(["install.exe", "produit.kvr"], case.extracted())

    def test_pre_install_only_never_starts_install(self):
        case = self.case()
        case.add_probe("AutoInst_check.exe", exit_code=1)
        case.add_probe("install.exe")
        case.build()
        # No confirmation: a dialog waiting for the user would end this run by its timeout.
        run = case.run("-s")
        self.assertEnded(run)
        self.assertStartedOnce(run, "AutoInst_check.exe")
        self.assertEqual([], run.started("install.exe"))

    def test_both_install_follows_pre_install_exit_code(self):
        for code, starts_install in ((0, False), (1, True), (259, True)):
            with self.subTest(exit_code=code):
                case = self.case("_%d" % code)
                case.add_descriptor()
                case.add_probe("AutoInst_check.exe", exit_code=code)
                case.add_probe("install.exe")
                case.build()
                run = case.run("auto=1")
                self.assertEnded(run)
                pre = self.assertStartedOnce(run, "AutoInst_check.exe")
                self.assertEqual(str(code), pre["exit"])
                if starts_install:
                    self.assertStartedOnce(run, "install.exe", "auto=1")
                    self.assertIs(pre, run.probes[0], "install.exe only after the check ended")
                else:
                    self.assertEqual([], run.started("install.exe"))


class Confirmation(InstallerTest):
    def test_auto_confirmation_is_case_sensitive(self):
        for tail, automatic in (("auto=1", True), ("/x auto=10", True), ("AUTO=1", False)):
            with self.subTest(tail=tail):
                case = self.product_case("_" + tail.replace("/", "").replace(" ", "_").lower())
                seen = []

                def confirm_by_return(c):
                    window = c.wait_window()
                    seen.append(window)
                    c.press(window, "Return")

                run = case.run(tail, interact=None if automatic else confirm_by_return)
                self.assertEnded(run)
                self.assertStartedOnce(run, "install.exe", tail)
                if not automatic:
                    self.assertEqual(1, len(seen))

    def test_quitter_writes_nothing(self):
        def by_click(c):
            c.click_dialog_unit(c.wait_window(), *QUITTER)

        def by_escape(c):
            c.press(c.wait_window(), "Escape")

        for how, interact in (("click", by_click), ("escape", by_escape)):
            with self.subTest(how=how):
                case = self.product_case("_" + how)
                os.makedirs(case.extraction)
                stale = os.path.join(case.extraction, "ancien.txt")
                with open(stale, "w") as f:
                    f.write("garde")
                run = case.run("-s", interact=interact)
                self.assertEnded(run)
                self.assertEqual([], run.probes)
                self.assertEqual(["ancien.txt"], case.extracted())
                with open(stale) as f:
                    self.assertEqual("garde", f.read())


class CommandLine(InstallerTest):
    def test_2000_characters_reach_install_whole(self):
        case = self.case()
        case.add_descriptor()
        case.add_probe("install.exe")
        case.build()
        tail = "auto=1 " + "".join("%04d" % i for i in range(500))[:1993]
        self.assertEqual(2000, len(tail))
        run = case.run(tail)
        self.assertEnded(run)
        self.assertStartedOnce(run, "install.exe", tail)

    def test_temp_folder_with_blank(self):
        case = self.case(temp_name=os.path.join("Jean Dupont", "Temp"))
        case.add_descriptor()
        case.add_probe("AutoInst_check.exe", exit_code=1)
        case.add_probe("install.exe")
        case.build()
        # An unquoted path would start this program instead of install.exe.
        shutil.copyfile(ENV.config.probe, os.path.join(case.root, "Jean.exe"))
        run = case.run("auto=1 -s")
        self.assertEnded(run)
        self.assertStartedOnce(run, "AutoInst_check.exe")
        self.assertStartedOnce(run, "install.exe", "auto=1 -s")
        self.assertEqual(2, len(run.probes))


class Extraction(InstallerTest):
    def test_files_and_write_times(self):
        case = self.case()
        case.add_descriptor("Produit d'essai \xe9t\xe9")
        case.add_probe("install.exe")
        times = {"notes.txt": 981173106, "donnees.bin": 1577880000, "vide.dat": 1262304000}
        case.add("notes.txt", "Bonjour\r\n" * 50, times["notes.txt"])
        case.add("donnees.bin", bytes(range(256)) * 300 + os.urandom(5000), times["donnees.bin"])
        case.add("vide.dat", b"", times["vide.dat"])
        # Whole seconds for the other files too: sfxpack built for Windows reads no finer.
        for i, name in enumerate(("install.exe", "produit.kvr")):
            times[name] = 1234567890 + i
            os.utime(os.path.join(case.payload, name), (times[name], times[name]))
        case.build()
        os.makedirs(case.extraction)
        with open(os.path.join(case.extraction, "reste.tmp"), "w") as f:
            f.write("d'une installation pr\xe9c\xe9dente")
        run = case.run("auto=1")
        self.assertEnded(run)
        names = sorted(os.listdir(case.payload))
        self.assertEqual(names, case.extracted())
        for name in names:
            source = os.path.join(case.payload, name)
            copy = os.path.join(case.extraction, name)
            with open(source, "rb") as a, open(copy, "rb") as b:
                self.assertEqual(a.read(), b.read(), name)
            # File times count 100-nanosecond units.
            self.assertEqual(os.stat(source).st_mtime_ns // 100, os.stat(copy).st_mtime_ns // 100,
                             name)
        for name, seconds in times.items():
            self.assertEqual(seconds, int(os.stat(os.path.join(case.extraction, name)).st_mtime))

    def test_checkword_error_midway_stops_extraction_and_starts_nothing(self):
        case = self.case()
        case.add_descriptor()
        case.add_probe("install.exe")
        for name in ("a.txt", "b.txt", "c.txt"):
            case.add(name, name * 100)
        order = ["produit.kvr", "install.exe", "a.txt", "b.txt", "c.txt"]
        case.build(order=order, corrupt="b.txt")
        os.makedirs(case.extraction)
        with open(os.path.join(case.extraction, "ancien.txt"), "w") as f:
            f.write("garde")
        run = case.run("auto=1")
        self.assertEnded(run, 4)  # an entry could not be read
        # Every checkword is known before the folder is touched: nothing emptied, nothing written.
        self.assertEqual(["ancien.txt"], case.extracted())
        # A payload that is not all there is a failure: nothing is started.
        self.assertEqual([], run.probes)

    def test_dialogs_on_screen(self):
        """Screenshots of both dialogs; the extraction dialog shows its text while it works."""
        case = self.lingering_case()
        shots = []

        def confirm_then_capture(c):
            confirmation = c.wait_window()
            shots.append(c.screenshot("confirmation-dialog.png", confirmation))
            c.press(confirmation, "Return")
            extraction = c.wait_window(exclude=(confirmation,))
            shots.append(c.screenshot("extraction-dialog.png", extraction))

        run = case.run("-s", interact=confirm_then_capture)
        self.assertEnded(run)
        self.assertEqual(2, len(shots))
        self.assertStartedOnce(run, "install.exe", "-s")
        self.assertEqual(["install.exe", "produit.kvr"], case.extracted())


class Branded(InstallerTest):
    def test_branded_and_signed_installer_runs(self):
        """An installer as a vendor ships it: its own icon, version information, the manifest's
        level written by sfxpack, then signed."""
        case = self.case()
        case.add_descriptor()
        case.add_probe("install.exe")
        icon, cert, key = (os.path.join(case.root, n) for n in ("brand.ico", "cert.pem", "key.pem"))
        quiet = dict(check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["convert", "-size", "64x64", "xc:navy", "-define",
                        "icon:auto-resize=48,32,16", icon], **quiet)
        case.build(options=["--icon", icon, "--version-info", "ProductName=D\xe9mo",
                            "--version-info", "FileVersion=1.2.3.4", "--elevation", "asInvoker"])
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                        key, "-out", cert, "-days", "2", "-subj", "/CN=Quorel test"], **quiet)
        unsigned = case.exe + ".unsigned"
        os.replace(case.exe, unsigned)
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", unsigned,
                        "-out", case.exe], **quiet)
        subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", case.exe], **quiet)
        run = case.run("auto=1")
        self.assertEnded(run)
        self.assertStartedOnce(run, "install.exe", "auto=1")
        self.assertEqual(["install.exe", "produit.kvr"], case.extracted())


class Locales(InstallerTest):
    """Systems whose code page is not 1252: a temporary folder in Chinese, a French entry name,
    an argument outside the code page, and the French texts on screen."""

    TAIL = "auto=1 INSTALLDIR=D:\\\u8f6f\u4ef6\\\u0416"

    def install_on(self, locale):
        case = self.case(temp_name=os.path.join("\u5f20\u4f1f", "Temp"))
        case.add_descriptor("Mon logiciel \xe9t\xe9")
        case.add_probe("AutoInst_check.exe", exit_code=1)
        case.add_probe("install.exe")
        case.add("donn\xe9es.dat", "contenu")
        case.build()
        run = case.run(self.TAIL, locale=locale)
        self.assertEnded(run)
        self.assertEqual(["AutoInst_check.exe", "donn\xe9es.dat", "exitcode.txt", "install.exe",
                          "produit.kvr"], case.extracted())
        self.assertStartedOnce(run, "AutoInst_check.exe")
        # The command line as install.exe reads it in UTF-16, whole.
        self.assertStartedOnce(run, "install.exe", self.TAIL)

    def test_cyrillic_code_page(self):
        self.install_on("ru_RU.UTF-8")

    def test_chinese_code_page(self):
        self.install_on("zh_CN.UTF-8")

    def test_french_texts_on_a_cyrillic_system(self):
        """Screenshots of both dialogs under code page 1251; the confirmation's text as shown."""
        case = self.lingering_case()
        shots, texts = [], []

        def capture(c):
            confirmation = c.wait_window()
            shots.append(c.screenshot("confirmation-dialog-1251.png", confirmation))
            # The dialog has no caption; reading it confirms it.
            texts.extend(read_message_box(""))
            extraction = c.wait_window(exclude=(confirmation,))
            shots.append(c.screenshot("extraction-dialog-1251.png", extraction))

        run = case.run("-s", interact=capture, locale="ru_RU.UTF-8")
        self.assertEnded(run)
        self.assertEqual(2, len(shots))
        self.assertIn("Ce programme va lancer l'installation de :\r\n\r\nMon logiciel \xe9t\xe9",
                      texts)
        self.assertStartedOnce(run, "install.exe", "-s")


def read_message_box(caption=harness.TITLE):
    """The texts of the installer's message box, once it shows; the box is then closed."""
    result = subprocess.run(ENV.wine_command([os.environ["E2E_BOXTEXT"], caption]),
                            env=ENV.wine_env, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True, timeout=120)
    return [bytes.fromhex(line[5:]).decode("utf-16-le") for line in result.stdout.splitlines()
            if line.startswith("text=")]


class Failures(InstallerTest):
    """Runs that stop: nothing is started, the exit code says why, and without auto=1 a message
    names what failed."""

    def assertStopped(self, run, exit_code):
        self.assertIsNone(run.error)
        self.assertEqual(exit_code, run.exit_code)
        self.assertEqual(0, run.remaining, "still running: %s" % run.left_over)
        self.assertEqual([], run.probes, "nothing is started")

    def test_links_are_never_followed(self):
        # Wine shows a Unix link to a folder as a reparse point, yet opens it as its target;
        # a link to a file it shows as a plain file. Neither is removed. The folder link is
        # passed by for a fresh folder beside it; the file link stops the run.
        case = self.product_case("_folder")
        target = os.path.join(case.root, "cible")
        os.makedirs(target)
        with open(os.path.join(target, "precieux.txt"), "w") as f:
            f.write("garde")
        os.symlink(target, case.extraction)
        run = case.run("auto=1")
        self.assertEnded(run)
        self.assertEqual(["precieux.txt"], os.listdir(target))
        started = run.started("install.exe")
        self.assertEqual(1, len(started), run.probes)
        fresh = started[0]["cwd"]
        self.assertRegex(fresh, "^" + re.escape(harness.windows_path(case.extraction)) +
                         "-[0-9a-f]{16}$")

        case = self.product_case("_file")
        os.makedirs(case.extraction)
        precious = os.path.join(case.root, "precieux.txt")
        with open(precious, "w") as f:
            f.write("garde")
        os.symlink(precious, os.path.join(case.extraction, "lien.txt"))
        self.assertStopped(case.run("auto=1"), 3)
        with open(precious) as f:
            self.assertEqual("garde", f.read())

    def test_hard_link_to_a_read_only_file_never_changes_it(self):
        # Attributes belong to the file: clearing read-only through the link would change the
        # file outside the folder, which Wine cannot delete through a link while it is
        # read-only. The run stops with the link in place.
        case = self.product_case()
        os.makedirs(case.extraction)
        outside = os.path.join(case.root, "lecture.txt")
        with open(outside, "w") as f:
            f.write("garde")
        os.chmod(outside, 0o444)
        link = os.path.join(case.extraction, "lien.txt")
        os.link(outside, link)
        self.assertStopped(case.run("auto=1"), 3)
        self.assertEqual(0o444, os.stat(outside).st_mode & 0o777)
        self.assertTrue(os.path.exists(link))
        with open(outside) as f:
            self.assertEqual("garde", f.read())

    def test_elevated_run_uses_no_folder_its_user_can_write(self):
        # Wine keeps no access list of its own: every folder it shows is the user's, whom an
        # elevated installer must not trust, since the user's unelevated processes could swap
        # what it starts. Both the fixed folder and a fresh one are refused.
        case = self.product_case()
        self.assertStopped(case.run("auto=1", elevated=True), 2)
        for name in os.listdir(case.temp):
            self.assertEqual([], os.listdir(os.path.join(case.temp, name)), name)

    def test_file_held_open_stops_and_is_named(self):
        case = self.case()
        case.add_probe("AutoInst_check.exe", exit_code=1)
        case.add_probe("install.exe")
        case.build()
        os.makedirs(case.extraction)
        held = os.path.join(case.extraction, "ouvert.dat")
        with open(held, "w") as f:
            f.write("tenu")
        holder = subprocess.Popen(ENV.wine_command([ENV.config.probe]),
                                  env=dict(ENV.wine_env, PROBE_HOLD=harness.windows_path(held)),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        texts = []
        try:
            deadline = time.monotonic() + harness.WAIT_WINDOW
            while not os.path.exists(held + ".held") and time.monotonic() < deadline:
                time.sleep(0.1)
            self.assertTrue(os.path.exists(held + ".held"), "the file is held")
            # No auto=1 and no product: no confirmation, and the failure is a message box.
            run = case.run("-s", interact=lambda c: texts.extend(read_message_box()))
        finally:
            open(held + ".release", "w").close()
            holder.wait(timeout=60)
        self.assertStopped(run, 3)
        self.assertEqual(1, len(texts), texts)
        self.assertIn(harness.windows_path(held), texts[0])
        self.assertFalse(os.path.exists(os.path.join(case.extraction, "install.exe")),
                         "no entry is written")

    def test_crashing_pre_install_starts_nothing_more(self):
        case = self.case()
        case.add_descriptor()
        case.add_probe("AutoInst_check.exe", exit_code=0xC0000005)
        case.add_probe("install.exe")
        case.build()
        run = case.run("auto=1")
        self.assertIsNone(run.error)
        self.assertEqual(6, run.exit_code)
        pre = self.assertStartedOnce(run, "AutoInst_check.exe")
        self.assertEqual(str(0xC0000005), pre["exit"])
        self.assertEqual([], run.started("install.exe"))

    def test_entry_that_fails_to_decode_starts_nothing(self):
        case = self.case()
        case.add_probe("AutoInst_check.exe", exit_code=1)
        case.add_probe("install.exe")
        case.add("casse.txt", "donn\xe9es " * 400)
        case.build(order=["casse.txt", "AutoInst_check.exe", "exitcode.txt", "install.exe"],
                   shorten="casse.txt")
        texts = []
        run = case.run("-s", interact=lambda c: texts.extend(read_message_box()))
        self.assertStopped(run, 4)
        self.assertEqual(1, len(texts), texts)
        self.assertIn("casse.txt", texts[0])

    def test_damaged_descriptor_is_no_empty_payload(self):
        # Alone, a descriptor that fails to decode used to read as "no information", exit 0.
        case = self.case()
        case.add("produit.kvr", "[Produit]\r\nInstall=Mon logiciel\r\n" + "Note=rien\r\n" * 40)
        case.add("casse.txt", "donn\xe9es " * 400)
        case.add_probe("install.exe")
        case.build(order=["produit.kvr", "casse.txt", "install.exe"], shorten="produit.kvr")
        texts = []
        run = case.run("-s", interact=lambda c: texts.extend(read_message_box()))
        self.assertStopped(run, 4)
        self.assertEqual(1, len(texts), texts)
        self.assertIn("produit.kvr", texts[0])
        self.assertIsNone(case.extracted(), "nothing is extracted")


class Deployment(InstallerTest):
    """Runs as deployment tools make them: --wait, --cleanup, log=PATH."""

    def deployed_case(self, options, suffix="", exit_code=None, sleep_ms=None):
        case = self.case(suffix)
        case.add_descriptor()
        case.add_probe("install.exe", exit_code=exit_code, sleep_ms=sleep_ms)
        case.build(options=options)
        return case

    def read_log(self, path):
        with open(path, "rb") as f:
            return f.read().decode("utf-8").split("\r\n")

    def test_default_run_ends_before_install(self):
        case = self.deployed_case([], exit_code=3010, sleep_ms=3000)
        run = case.run("auto=1")
        self.assertEnded(run, 0)
        self.assertGreaterEqual(run.running, 1, "install.exe still ran when the installer ended")
        self.assertStartedOnce(run, "install.exe", "auto=1")

    def test_wait_hands_on_install_exit_code(self):
        for code in (3010, 0xC0000005):
            with self.subTest(code=code):
                case = self.deployed_case(["--wait"], "_%d" % code, exit_code=code, sleep_ms=2000)
                self.assertIn("options: wait\n", ENV.sfxpack(["info", case.exe]))
                run = case.run("-s auto=1")
                self.assertEnded(run, code)
                self.assertEqual(0, run.running, "the installer ended after install.exe")
                self.assertStartedOnce(run, "install.exe", "-s auto=1")
                self.assertEqual(["exitcode.txt", "install.exe", "produit.kvr", "sleep.txt"],
                                 case.extracted())

    def test_wait_refusal_and_own_failures(self):
        case = self.deployed_case(["--wait"])
        run = case.run("-s", interact=lambda c: c.press(c.wait_window(), "Escape"))
        self.assertEnded(run, 1602)
        self.assertEqual([], run.probes)
        # The installer's own failures carry the customer bit: 4 becomes 0x20000004.
        case = self.case("_damaged")
        case.add_descriptor()
        case.add_probe("install.exe")
        case.build(order=["produit.kvr", "install.exe"], corrupt="install.exe",
                   exe_options=["--wait"])
        self.assertEnded(case.run("auto=1"), 0x20000004)
        self.assertIsNone(case.extracted())

    def test_cleanup_leaves_nothing(self):
        case = self.deployed_case(["--cleanup"], exit_code=1641)
        self.assertIn("options: wait, cleanup\n", ENV.sfxpack(["info", case.exe]))
        log = os.path.join(case.root, "installation.log")
        run = case.run("auto=1 log=" + harness.windows_path(log))
        self.assertEnded(run, 1641)
        self.assertStartedOnce(run, "install.exe", "auto=1 log=" + harness.windows_path(log))
        self.assertIsNone(case.extracted(), "the folder is gone")
        self.assertEqual([], os.listdir(case.temp))
        lines = self.read_log(log)
        self.assertTrue(any(l.endswith("Dossier supprim\xe9 : " +
                                       harness.windows_path(case.extraction)) for l in lines),
                        lines)

    def test_cleanup_after_a_failure_midway(self):
        case = self.case()
        case.add_descriptor()
        case.add_probe("install.exe")
        case.add("casse.txt", "donn\xe9es " * 400)
        case.build(order=["produit.kvr", "install.exe", "casse.txt"], shorten="casse.txt",
                   exe_options=["--cleanup"])
        run = case.run("auto=1")
        self.assertEnded(run, 0x20000004)
        self.assertEqual([], run.probes)
        self.assertIsNone(case.extracted(), "what was written is removed, then the folder")

    def test_log_of_a_success_and_of_failures(self):
        case = self.deployed_case(["--wait"], exit_code=3010)
        log = os.path.join(case.root, "mes journaux", "setup.log")
        os.makedirs(os.path.dirname(log))
        with open(log, "wb") as f:
            f.write(b"avant\r\n")
        run = case.run('auto=1 log="%s" -s' % harness.windows_path(log))
        self.assertEnded(run, 3010)
        lines = self.read_log(log)
        self.assertEqual("avant", lines[0], "appended, never truncated")
        self.assertEqual("", lines[-1])
        events = [l[20:] for l in lines[1:-1]]
        folder = harness.windows_path(case.extraction)
        self.assertEqual("D\xe9marrage de Loftsetup 1.0a, options 1 : auto=1 log=\"%s\" -s"
                         % harness.windows_path(log), events[0])
        self.assertEqual("Dossier d'extraction : " + folder, events[1])
        self.assertIn("Fichier extrait : install.exe (%d octets)"
                      % os.path.getsize(ENV.config.probe), events)
        self.assertIn("Programme lanc\xe9 : %s\\install.exe" % folder, events)
        self.assertIn("Fin du programme : %s\\install.exe, code 3010 (0x00000BC2)" % folder,
                      events)
        self.assertEqual("Code de sortie : 3010 (0x00000BC2)", events[-1])

        # A failure names what failed: a link in the folder, an entry that is damaged.
        case = self.deployed_case([], "_link")
        os.makedirs(case.extraction)
        target = os.path.join(case.root, "ailleurs.txt")
        open(target, "w").close()
        os.symlink(target, os.path.join(case.extraction, "l.txt"))
        log = os.path.join(case.root, "echec.log")
        run = case.run("auto=1 log=" + harness.windows_path(log))
        self.assertEnded(run, 3)
        events = [l[20:] for l in self.read_log(log)[:-1]]
        self.assertIn("Impossible de vider le dossier d'extraction : %s\\l.txt.    "
                      "Installation interrompue." % harness.windows_path(case.extraction), events)
        self.assertEqual("Code de sortie : 3 (0x00000003)", events[-1])

        case = self.case("_entry")
        case.add_descriptor()
        case.add_probe("install.exe")
        case.build(order=["produit.kvr", "install.exe"], corrupt="install.exe")
        log = os.path.join(case.root, "entree.log")
        run = case.run("auto=1 log=" + harness.windows_path(log))
        self.assertEnded(run, 4)
        events = [l[20:] for l in self.read_log(log)[:-1]]
        self.assertIn("Fichier non extrait : #2.    Installation interrompue.", events)

    def test_log_through_a_link_is_refused(self):
        case = self.deployed_case([])
        target = os.path.join(case.root, "precieux.txt")
        with open(target, "w") as f:
            f.write("garde")
        log = os.path.join(case.root, "lien.log")
        os.link(target, log)
        run = case.run("auto=1 log=" + harness.windows_path(log))
        self.assertEnded(run, 0)
        self.assertStartedOnce(run, "install.exe", "auto=1 log=" + harness.windows_path(log))
        with open(target) as f:
            self.assertEqual("garde", f.read())


if __name__ == "__main__":
    unittest.main()
