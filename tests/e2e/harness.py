"""What the installer's end-to-end tests share: a Wine prefix of their own, an X display of their
own, installers made with sfxpack from folders holding the probe program, runs through the
launcher, and xdotool to drive the dialogs like a user."""
import os
import shutil
import subprocess
import time

CONFIG_KEYS = ("E2E_STUB", "E2E_PROBE", "E2E_LAUNCH", "E2E_SFXPACK", "E2E_WORK", "E2E_ARTIFACTS",
               "E2E_WINE_RUN")

TITLE = "Quorel Informatique. Loftsetup 1.0a"
# Deadlines fit the slower line, 32-bit programs run through qemu-i386 on a busy machine; waits
# poll, so a deadline costs nothing when things go well.
WAIT_WINDOW = 60.0   # seconds a dialog may take to appear under a cold Wine
WAIT_CLOSE = 10.0    # seconds a dialog may take to close after a key or a click
WAIT_RUN = 240.0     # seconds a whole installer run may take


class Config:
    def __init__(self):
        missing = [k for k in CONFIG_KEYS if not os.environ.get(k)]
        if missing:
            raise RuntimeError("e2e settings missing: " + ", ".join(missing))
        self.stub = os.environ["E2E_STUB"]
        self.probe = os.environ["E2E_PROBE"]
        self.launch = os.environ["E2E_LAUNCH"]
        self.sfxpack = os.environ["E2E_SFXPACK"]
        if not os.path.exists(self.sfxpack) and os.environ.get("E2E_SFXPACK_WIN32"):
            self.sfxpack = os.environ["E2E_SFXPACK_WIN32"]
        self.work = os.environ["E2E_WORK"]
        self.artifacts = os.environ["E2E_ARTIFACTS"]
        self.wine_run = os.environ["E2E_WINE_RUN"]
        # The line Wine runs on here; each line has a prefix of its own kind.
        self.line = subprocess.run([self.wine_run, "--line"], check=True, stdout=subprocess.PIPE,
                                   text=True, timeout=60).stdout.strip()
        self.prefix = (os.environ.get("E2E_WINEPREFIX") or
                       os.path.join(self.work, "prefix-" + self.line))


def windows_path(path):
    """Wine's drive Z: is the Unix root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Display:
    """An Xvfb of the tests' own, so no other test's window takes the keyboard focus."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            number = f.readline().strip()
        if not number:
            self.server.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number

    def close(self):
        self.server.terminate()
        self.server.wait(timeout=10)


class Run:
    """One installer run: the launcher's report and what the probes logged."""

    def __init__(self, case, report):
        self.case = case
        values = dict(line.split("=", 1) for line in report.splitlines() if "=" in line)
        self.exit_code = int(values["exit"]) if "exit" in values else None
        self.remaining = int(values.get("remaining", "-1"))
        # Processes of the run still going when the installer ended.
        self.running = int(values.get("running", "-1"))
        self.error = values.get("error")
        self.left_over = [line[5:] for line in report.splitlines() if line.startswith("left=")]
        self.probes = case.probe_entries()

    def started(self, name):
        return [p for p in self.probes if p["self"].lower().endswith("\\" + name.lower())]


class Case:
    """A folder of one test: the payload's files, the temporary folder, the probe log."""

    def __init__(self, env, name, temp_name="Temp"):
        self.env = env
        self.name = name
        self.root = os.path.join(env.config.work, "cases", name)
        shutil.rmtree(self.root, ignore_errors=True)
        self.payload = os.path.join(self.root, "payload")
        self.temp = os.path.join(self.root, temp_name)
        os.makedirs(self.payload)
        os.makedirs(self.temp)
        self.log = os.path.join(self.root, "probe.log")
        self.exe = os.path.join(self.root, name + ".exe")

    @property
    def extraction(self):
        return os.path.join(self.temp, "tmp_qor")

    def add(self, name, data=b"", mtime=None):
        path = os.path.join(self.payload, name)
        with open(path, "wb") as f:
            f.write(data.encode("cp1252") if isinstance(data, str) else data)
        if mtime is not None:
            os.utime(path, (mtime, mtime))
        return path

    def add_probe(self, name, exit_code=None, sleep_ms=None):
        shutil.copyfile(self.env.config.probe, os.path.join(self.payload, name))
        if exit_code is not None:
            self.add("exitcode.txt", str(exit_code))
        if sleep_ms is not None:
            self.add("sleep.txt", str(sleep_ms))

    def add_descriptor(self, product="Mon logiciel", name="produit.kvr"):
        self.add(name, "[Produit]\r\nInstall=" + product + "\r\nVersion=2\r\n")

    def build(self, order=None, corrupt=None, options=(), shorten=None, exe_options=()):
        """The installer, from the payload folder. order: entry names in archive order.
        corrupt: an entry name whose stored bytes get one bit flipped (a checkword error).
        shorten: an entry name whose decoded size, outside the checkword, loses 100 bytes (its
        data no longer decodes). options: more of sfxpack exe's options; exe_options: those of
        exe alone (not pack's too), such as --wait."""
        args = list(options)
        if order:
            order_file = os.path.join(self.root, "order.txt")
            with open(order_file, "w") as f:
                f.write("\n".join(order) + "\n")
            args += ["--order", order_file]
        # The decision table needs payloads the installer cannot install, which exe refuses.
        if corrupt is None and shorten is None:
            self.env.sfxpack(["exe", self.payload, "-o", self.exe, "--stub",
                              self.env.config.stub, "--allow-incomplete"] + args +
                             list(exe_options))
            return
        # sfxpack refuses a damaged archive: damage the payload inside the finished installer.
        archive = os.path.join(self.root, "payload.arc")
        self.env.sfxpack(["pack", self.payload, "-o", archive] + args)
        self.env.sfxpack(["exe", "--payload", archive, "-o", self.exe, "--stub",
                          self.env.config.stub, "--allow-incomplete"] + list(exe_options))
        with open(archive, "rb") as f:
            payload = f.read()
        with open(self.exe, "rb") as f:
            image = bytearray(f.read())
        start = image.find(payload)
        assert start > 0 and image.find(payload, start + 1) < 0, "payload not found once"
        if corrupt is not None:
            entry = start + entry_offsets(payload)[order.index(corrupt)]
            size = int.from_bytes(image[entry:entry + 4], "little")
            image[entry + size - 1] ^= 0x10  # the entry's last stored byte
        if shorten is not None:
            field = start + entry_offsets(payload)[order.index(shorten)] + 20
            size = int.from_bytes(image[field:field + 4], "little")
            image[field:field + 4] = (size - 100).to_bytes(4, "little")
        with open(self.exe, "wb") as f:
            f.write(image)

    def run(self, tail="", interact=None, temp=None, elevated=False, locale=None):
        """Starts the installer with tail as its command line, unelevated unless asked;
        interact(case) drives it while it runs. Returns once the installer and every program it
        started have ended. locale (a UTF-8 one such as ru_RU.UTF-8) sets Windows' ANSI code
        page for the run."""
        job = os.path.join(self.root, "job.txt")
        lines = [windows_path(temp or self.temp), windows_path(self.log),
                 windows_path(self.exe), tail, "elevated" if elevated else ""]
        with open(job, "wb") as f:
            f.write("\r\n".join(lines).encode("utf-8"))
        process = subprocess.Popen(self.env.wine_command([self.env.config.launch,
                                                          windows_path(job)]),
                                   env=self.env.locale_env(locale), stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, text=True)
        try:
            if interact:
                interact(self)
            report, _ = process.communicate(timeout=WAIT_RUN)
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
        return Run(self, report)

    def probe_entries(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log, "rb") as f:
            text = f.read().decode("utf-8")
        entries = []
        for block in text.split("[probe]\n")[1:]:
            entries.append(dict(line.split("=", 1) for line in block.splitlines() if "=" in line))
        return entries

    def extracted(self):
        if not os.path.isdir(self.extraction):
            return None
        return sorted(os.listdir(self.extraction))

    # Windows of this installer (Wine names the X class after the program file).
    def windows(self):
        out = self.env.xdotool(["search", "--onlyvisible", "--classname",
                                os.path.basename(self.exe)], check=False)
        return [w for w in out.split() if w]

    def wait_window(self, timeout=WAIT_WINDOW, exclude=()):
        """The newest visible window of this installer that is not in exclude."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = [w for w in self.windows() if w not in exclude]
            if found:
                return found[-1]
            time.sleep(0.1)
        raise AssertionError("no window of %s within %ss" % (self.name, timeout))

    def wait_gone(self, window, timeout=WAIT_WINDOW):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if window not in self.windows():
                return True
            time.sleep(0.1)
        return False

    def caption(self, window):
        return self.env.xdotool(["getwindowname", window]).rstrip("\n")

    def geometry(self, window):
        out = self.env.xdotool(["getwindowgeometry", "--shell", window])
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def press(self, window, key):
        """Types key into window, again if the window is still there after a while."""
        for _ in range(5):
            self.env.xdotool(["windowfocus", window], check=False)
            self.env.xdotool(["key", key])
            if self.wait_gone(window, timeout=WAIT_CLOSE):
                return
        raise AssertionError("%s did not close on %s" % (self.name, key))

    def click_dialog_unit(self, window, x, y, template=(282, 57)):
        """Clicks the point (x, y), in the dialog units of the dialog template, of window."""
        width, height = self.geometry(window)
        px = round(x * width / template[0])
        py = round(y * height / template[1])
        for _ in range(5):
            self.env.xdotool(["mousemove", "--window", window, str(px), str(py), "click", "1"])
            if self.wait_gone(window, timeout=WAIT_CLOSE):
                return
        raise AssertionError("%s did not close on a click" % self.name)

    def screenshot(self, name, window="root"):
        os.makedirs(self.env.config.artifacts, exist_ok=True)
        path = os.path.join(self.env.config.artifacts, name)
        subprocess.run(["import", "-display", self.env.display.name, "-window", window, path],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=30)
        return path


def entry_offsets(archive):
    """Where each entry of an archive begins (the walk over the size words)."""
    position = int.from_bytes(archive[0:4], "little")
    offsets = []
    while len(archive) - position >= 24:
        size = int.from_bytes(archive[position:position + 4], "little")
        if size == 0:
            break
        offsets.append(position)
        position += size
    return offsets


class Environment:
    """The display, the Wine prefix and the tools, made once for a test run."""

    def __init__(self):
        self.config = Config()
        os.makedirs(self.config.work, exist_ok=True)
        self.display = Display()
        self.wine_env = dict(os.environ, DISPLAY=self.display.name,
                             WINEPREFIX=self.config.prefix, SFX_WINE_LINE=self.config.line,
                             WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        try:
            self.prepare_prefix()
        except BaseException:
            self.display.close()
            raise

    def prepare_prefix(self):
        """Makes the tests' Wine prefix once and starts a fresh Wine session on our display."""
        if not os.path.exists(os.path.join(self.config.prefix, "system.reg")):
            subprocess.run(self.wine_command(["wineboot", "-i"]), env=self.wine_env, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
            # The registry files are written when the Wine server ends.
            subprocess.run(["wineserver", "-w"], env=self.wine_env, check=False, timeout=300)
        self.unmanage_windows()
        # A Wine session keeps the display it started with: begin a fresh one on this display.
        self.end_wine_session()

    def unmanage_windows(self):
        """Without a window manager, Wine waits two seconds for one at every hidden window
        unless its windows are unmanaged."""
        with open(os.path.join(self.config.prefix, "user.reg"), encoding="latin-1") as f:
            if '"Managed"="N"' in f.read():
                return
        subprocess.run(self.wine_command(["reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v",
                                          "Managed", "/d", "N", "/f"]), env=self.wine_env,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=120)
        subprocess.run(["wineserver", "-w"], env=self.wine_env, check=False, timeout=120)

    def close(self):
        self.end_wine_session()
        self.display.close()

    def end_wine_session(self):
        """Ends the Wine processes of the tests' own prefix (and only those)."""
        subprocess.run(["wineserver", "-k"], env=self.wine_env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        subprocess.run(["wineserver", "-w"], env=self.wine_env, check=False, timeout=60)

    def locale_env(self, locale):
        """The Wine settings with locale, made with localedef in the work folder if the system
        lacks it (its sources come with the locales package)."""
        if not locale:
            return self.wine_env
        folder = os.path.join(self.config.work, "locales")
        if not os.path.isdir(os.path.join(folder, locale)):
            os.makedirs(folder, exist_ok=True)
            language, charset = locale.split(".")
            subprocess.run(["localedef", "-i", language, "-f", charset,
                            os.path.join(folder, locale)], check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        return dict(self.wine_env, SFX_WINE_LOCALE=locale, LOCPATH=folder)

    def wine_command(self, args):
        return [self.config.wine_run] + args

    def sfxpack(self, args):
        command = [self.config.sfxpack] + args
        if self.config.sfxpack.lower().endswith(".exe"):
            command = self.wine_command(command)
        result = subprocess.run(command, env=self.wine_env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, timeout=WAIT_RUN)
        if result.returncode != 0:
            raise AssertionError("sfxpack %s failed: %s" % (" ".join(args), result.stderr))
        return result.stdout

    def xdotool(self, args, check=True):
        result = subprocess.run(["xdotool"] + args, env=self.wine_env, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True, timeout=30)
        if check and result.returncode != 0:
            raise AssertionError("xdotool %s failed" % " ".join(args))
        return result.stdout
