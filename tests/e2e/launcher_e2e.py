#!/usr/bin/env python3
"""End-to-end tests of the launcher executable.

Each test runs a real launcher with TEMP pointing at a scratch temporary
folder and the current folder at a scratch launcher folder. The stand-in
inner application records what it received and what it saw in the work
folder into a file outside the work folder, for the test to read.

Under Wine (--windows --runner WINE) each launcher is started through
orvane-e2e-env, which sets TEMP inside the Windows process (Wine sets it
itself), and the failure text is read from Wine's relay trace of the
MessageBoxW calls, since without a display no box is shown.

Usage: launcher_e2e.py --bin DIR [--windows --runner WINE] [unittest args]
"""
import argparse
import ast
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest
import zipfile

ARGS = None

TOP_LEVEL = {
    "dictheo.zip", "orvane.exe", "brindle.dll", "lclstrconsts.es.po", "lclstrconsts.fr.po",
    "lclstrconsts.it.po", "libgcc_s_sjlj-1.dll", "libgmp-10.dll", "libswipl.dll",
    "libwinpthread-1.dll", "memfile.dll", "porter_stem.dll", "primaire.inh", "process.dll",
    "readutil.dll", "socket.dll", "startup.yss", "time.dll", "zlib1.dll", "zlib4pl.dll",
}
DEFAULT_FIGURES = {"15.orvfg", "10000.orvfg", "14A.orvfg", "3118a.orvfg"}
FAILURE_HEAD = re.compile(r"^An unhandled exception occurred at \$[0-9A-F]{8,16} :$")
FRAME_LINE = re.compile(r"^  \$[0-9A-F]{8,16}$")
# Wine's relay trace of one call: the text and the caption as debug strings;
# "..." after the text's closing quote means the trace cut it short.
MESSAGE_BOX_CALL = re.compile(r'Call user32\.MessageBoxW\([0-9a-f]+,[0-9a-f]+ '
                              r'(L"(?:[^"\\]|\\.)*")(\.\.\.)?,[0-9a-f]+ (L"(?:[^"\\]|\\.)*"),')


def program(name):
    return os.path.join(ARGS.bin, name + (".exe" if ARGS.windows else ""))


def system_path(path):
    """The path as the launcher's system spells it (Wine maps Z: to /)."""
    path = os.path.abspath(path)
    return "Z:" + path.replace("/", "\\") if ARGS.windows else path


WINE_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}


def wine_debug_string(text):
    """Decodes a Wine debug string: L"..." with \\n, \\r, \\t, \\", \\\\ and
    \\XXXX (four hex digits) for any other character."""
    return re.sub(r'\\(?:([0-9a-f]{4})|(.))',
                  lambda m: chr(int(m.group(1), 16)) if m.group(1) else WINE_ESCAPES[m.group(2)],
                  text[2:-1])


def message_boxes(stderr):
    """(caption, text, complete) of each MessageBoxW call in a relay trace."""
    return [(wine_debug_string(m.group(3)), wine_debug_string(m.group(1)), not m.group(2))
            for m in MESSAGE_BOX_CALL.finditer(stderr)]


def configure_wine_relay():
    """Limits Wine's relay trace to MessageBoxW, so tracing costs nothing else."""
    subprocess.run([ARGS.runner, "reg", "add", "HKCU\\Software\\Wine\\Debug", "/v",
                    "RelayInclude", "/d", "user32.MessageBoxW", "/f"],
                   env=dict(os.environ, WINEDEBUG="-all"), check=True, capture_output=True)


class Record:
    """What the stand-in wrote: arguments, command line, work folder entries."""

    def __init__(self, path):
        self.args = []
        self.entries = set()
        self.fields = {}
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        csv_at = text.find("\ncsv=")
        self.csv = text[csv_at + 5:-1] if csv_at >= 0 else None
        for line in text[:csv_at if csv_at >= 0 else len(text)].split("\n"):
            key, _, value = line.partition("=")
            if key.startswith("arg") and key[3:].isdigit():
                self.args.append(value)
            elif key == "entry":
                self.entries.add(value)
            elif key:
                self.fields[key] = value
        self.argc = int(self.fields.get("argc", "-1"))


class LauncherCase(unittest.TestCase):
    launcher = "orvane-launcher"

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="orvane-e2e-")
        self.temp = os.path.join(self.scratch, "temp")
        self.home = os.path.join(self.scratch, "home")
        os.makedirs(self.temp)
        os.makedirs(self.home)
        self.work = os.path.join(self.temp, "orvane42")
        self.record_path = os.path.join(self.scratch, "record.txt")

    def tearDown(self):
        for root, dirs, _ in os.walk(self.scratch):
            for d in dirs:
                try:
                    os.chmod(os.path.join(root, d), 0o700)
                except OSError:
                    pass
        shutil.rmtree(self.scratch, ignore_errors=True)

    def launcher_environment(self, extra=None):
        environment = dict(os.environ)
        for name in ("TEMP", "TMP", "TMPDIR"):
            environment.pop(name, None)
        environment["TEMP"] = self.temp
        if ARGS.windows:
            environment["ORVANE_E2E_SET_TEMP"] = system_path(self.temp)
            environment["WINEDEBUG"] = "-all,+relay"
        environment["ORVANE_STAND_IN_RECORD"] = system_path(self.record_path)
        environment.update(extra or {})
        return environment

    def launcher_command(self, launcher, args):
        if ARGS.windows:
            return [ARGS.runner, program("orvane-e2e-env"), system_path(program(launcher))] + args
        return [program(launcher)] + args

    def run_launcher(self, *args, launcher=None, env=None):
        result = subprocess.run(self.launcher_command(launcher or self.launcher, list(args)),
                                cwd=self.home, env=self.launcher_environment(env),
                                capture_output=True, timeout=ARGS.timeout)
        self.stdout = result.stdout.decode(errors="replace")
        self.stderr = result.stderr.decode(errors="replace")
        return result.returncode

    def failure_boxes(self):
        """The failure text as shown, and whether it is complete. The POSIX
        box writes its caption and the text to standard error."""
        if not ARGS.windows:
            lines = self.stderr.split("\n")
            self.assertIn("Error", lines, self.stderr)
            return "\n".join(lines[lines.index("Error") + 1:]), True
        boxes = message_boxes(self.stderr)
        self.assertNotEqual(boxes, [], self.stderr)
        for caption, _, _ in boxes:
            self.assertEqual(caption, "Error")
        return "".join(text for _, text, _ in boxes), all(complete for _, _, complete in boxes)

    def assert_no_failure_text(self):
        if ARGS.windows:
            self.assertEqual(message_boxes(self.stderr), [])
        else:
            self.assertEqual(self.stderr, "")

    def record(self):
        self.assertTrue(os.path.exists(self.record_path), "the inner application did not run\n"
                        + self.stderr)
        return Record(self.record_path)

    def make_archive(self, path, files):
        """A user archive written by the project's own zip tool."""
        source = os.path.join(self.scratch, "src-" + os.path.basename(path))
        os.makedirs(source, exist_ok=True)
        paths = []
        for name, data in files.items():
            p = os.path.join(source, name)
            with open(p, "wb") as f:
                f.write(data)
            paths.append(p)
        runner = [ARGS.runner] if ARGS.windows else []
        subprocess.run(runner + [program("orvane-zip"), "create", system_path(path)]
                       + [system_path(p) for p in paths], check=True, capture_output=True,
                       env=dict(os.environ, WINEDEBUG="-all"))

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def names_in(self, archive):
        with zipfile.ZipFile(archive) as z:
            self.assertIsNone(z.testzip())
            return [i.filename for i in z.infolist()]

    def assert_failure_text(self, class_name, message_part):
        text, complete = self.failure_boxes()
        lines = text.split("\n")
        self.assertGreaterEqual(len(lines), 2, text)
        self.assertRegex(lines[0], FAILURE_HEAD)
        self.assertTrue(lines[1].startswith(class_name + " : "), text)
        self.assertIn(message_part, lines[1])
        if not complete:
            return  # Wine's trace cut the text short: not every frame is there
        frames = lines[2:]
        count = 0
        while count < len(frames) and FRAME_LINE.match(frames[count]):
            count += 1
        self.assertGreaterEqual(count, 1, text)
        self.assertEqual(frames[count], "", "the failure text ends with an empty line")


class FirstRun(LauncherCase):
    def test_without_user_files_uses_the_default_dictionary_and_creates_no_archive(self):
        self.assertEqual(self.run_launcher(), 0, self.stderr)
        rec = self.record()
        top = {e for e in rec.entries if "/" not in e and not e.endswith(".lock")}
        self.assertEqual(top, TOP_LEVEL)
        self.assertIn("Yap/bin/yap.exe", rec.entries)
        self.assertIn("Yap/share/INDEX.pl", rec.entries)
        self.assertIn("Yap/share/icon_address.pl", rec.entries)
        self.assertIn("Yap/share/swi/", rec.entries)
        self.assertEqual({e[len("dictheo/"):] for e in rec.entries
                          if e.startswith("dictheo/") and e != "dictheo/"}, DEFAULT_FIGURES)
        self.assertNotIn("trad_dyn.csv", rec.entries)
        self.assertEqual(rec.csv, "(none)")
        self.assertEqual(rec.argc, 0)
        self.assertTrue(os.path.exists(os.path.join(self.home, "trad_dyn.pl")))
        self.assertFalse(os.path.exists(os.path.join(self.home, "dictheo.zip")))
        self.assertFalse(os.path.exists(self.work), "the work folder is removed")
        self.assert_no_failure_text()

    def test_with_user_files_brings_them_in_and_repacks_the_dictionary(self):
        user_zip = os.path.join(self.home, "dictheo.zip")
        self.make_archive(user_zip, {"a.orvfg": b"alpha" * 100, "b.orvfg": os.urandom(300)})
        with open(os.path.join(self.home, "trad_dyn.csv"), "w") as f:
            f.write("hello;bonjour\n")
        self.assertEqual(self.run_launcher(), 0, self.stderr)
        rec = self.record()
        self.assertEqual({e for e in rec.entries if e.startswith("dictheo/") and e != "dictheo/"},
                         {"dictheo/a.orvfg", "dictheo/b.orvfg"})
        self.assertIn("trad_dyn.csv", rec.entries)
        self.assertEqual(rec.csv, "hello;bonjour\n")
        self.assertEqual(sorted(self.names_in(user_zip)), ["a.orvfg", "b.orvfg", "run.orvfg"])
        with zipfile.ZipFile(user_zip) as z:
            self.assertEqual(z.read("a.orvfg"), b"alpha" * 100)
        pl = self.read(os.path.join(self.home, "trad_dyn.pl")).decode()
        self.assertIn("trad('hello;bonjour').", pl)
        self.assertFalse(os.path.exists(self.work))
        self.assertFalse(os.path.exists(user_zip + ".new"))

    def test_dictionary_emptied_by_the_application_keeps_the_old_archive(self):
        user_zip = os.path.join(self.home, "dictheo.zip")
        self.make_archive(user_zip, {"a.orvfg": b"alpha"})
        before = self.read(user_zip)
        self.assertEqual(self.run_launcher(env={"ORVANE_STAND_IN_EMPTY_DICTIONARY": "1"}), 0,
                         self.stderr)
        self.assertEqual(self.read(user_zip), before)

    def test_translations_replace_an_earlier_file(self):
        with open(os.path.join(self.home, "trad_dyn.pl"), "w") as f:
            f.write("old\n")
        self.assertEqual(self.run_launcher("arg"), 0, self.stderr)
        self.assertIn("argument('arg').", self.read(os.path.join(self.home, "trad_dyn.pl")).decode())


class NonAsciiFolders(LauncherCase):
    """Launcher and temporary folders whose names hold characters outside
    any single ANSI code page ("ü" and "ß" are in 1252, "Ş" is not, "日本"
    needs a double-byte one)."""

    FOLDER = "Grüße Şule 日本"

    def setUp(self):
        super().setUp()
        self.temp = os.path.join(self.scratch, self.FOLDER, "temp")
        self.home = os.path.join(self.scratch, self.FOLDER, "home")
        os.makedirs(self.temp)
        os.makedirs(self.home)
        self.work = os.path.join(self.temp, "orvane42")

    def test_first_run_brings_the_results_back(self):
        user_zip = os.path.join(self.home, "dictheo.zip")
        self.make_archive(user_zip, {"a.orvfg": b"alpha"})
        with open(os.path.join(self.home, "trad_dyn.csv"), "w") as f:
            f.write("Straße;rue\n")
        self.assertEqual(self.run_launcher("word"), 0, self.stderr)
        rec = self.record()
        self.assertEqual(rec.args, ["word"])
        self.assertIn("brindle.dll", rec.entries)
        self.assertEqual(rec.csv, "Straße;rue\n")
        self.assertEqual(sorted(self.names_in(user_zip)), ["a.orvfg", "run.orvfg"])
        self.assertTrue(os.path.exists(os.path.join(self.home, "trad_dyn.pl")))
        self.assertFalse(os.path.exists(self.work))
        self.assert_no_failure_text()


class AlreadyUnpacked(LauncherCase):
    def prepare_work_folder(self, user_dictionary=True):
        os.makedirs(os.path.join(self.work, "dictheo"))
        if user_dictionary:
            open(os.path.join(self.work, "orvane-dictionary.user"), "w").close()
        os.chmod(self.work, 0o700)
        shutil.copy(program("orvane-stand-in"), os.path.join(self.work, "orvane.exe"))
        with open(os.path.join(self.work, "dictheo", "x.orvfg"), "wb") as f:
            f.write(b"kept figure")

    def test_skips_set_up_drops_the_argument_and_still_returns_results(self):
        self.prepare_work_folder()
        user_zip = os.path.join(self.home, "dictheo.zip")
        self.make_archive(user_zip, {"old.orvfg": b"old"})
        self.assertEqual(self.run_launcher("ignored argument"), 0, self.stderr)
        rec = self.record()
        self.assertEqual(rec.argc, 0, "the argument is read only by the set-up")
        self.assertNotIn("brindle.dll", rec.entries, "nothing was unpacked")
        self.assertEqual(sorted(self.names_in(user_zip)), ["run.orvfg", "x.orvfg"])
        self.assertTrue(os.path.exists(os.path.join(self.home, "trad_dyn.pl")))
        self.assertFalse(os.path.exists(self.work))


    def test_a_default_dictionary_never_replaces_the_users_archive(self):
        # W holds a dictionary unpacked from the payload's default (the user
        # had no archive when it was set up); one appeared in L since.
        self.prepare_work_folder(user_dictionary=False)
        user_zip = os.path.join(self.home, "dictheo.zip")
        self.make_archive(user_zip, {"mine.orvfg": b"the user's own figure"})
        before = self.read(user_zip)
        self.assertEqual(self.run_launcher(), 0, self.stderr)
        self.assertEqual(self.read(user_zip), before)

    def test_set_up_cut_short_is_done_again(self):
        # A launcher killed during set-up leaves the inner executable beside a
        # half-unpacked folder and its marker.
        self.prepare_work_folder()
        with open(os.path.join(self.work, "orvane-setup.incomplete"), "w"):
            pass
        with open(os.path.join(self.work, "dictheo", "stale.orvfg"), "w") as f:
            f.write("left by the run that was cut short")
        self.assertEqual(self.run_launcher("handed on"), 0, self.stderr)
        rec = self.record()
        self.assertEqual(rec.args, ["handed on"], "the set-up ran and read the argument")
        self.assertIn("brindle.dll", rec.entries)
        self.assertNotIn("dictheo/stale.orvfg", rec.entries)
        self.assertNotIn("orvane-setup.incomplete", rec.entries)
        self.assertFalse(os.path.exists(self.work))


class Concurrency(LauncherCase):
    def test_two_launchers_share_the_work_folder_and_the_last_one_out_removes_it(self):
        user_zip = os.path.join(self.home, "dictheo.zip")
        self.make_archive(user_zip, {"a.orvfg": b"alpha"})
        runs = []
        for label, sleep in (("first", "300"), ("second", "1500")):
            env = self.launcher_environment({
                "ORVANE_STAND_IN_RECORD": system_path(os.path.join(self.scratch, label)),
                "ORVANE_STAND_IN_FIGURE": label + ".orvfg", "ORVANE_STAND_IN_SLEEP_MS": sleep})
            runs.append(subprocess.Popen(self.launcher_command(self.launcher, []), cwd=self.home,
                                         env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE))
        for run in runs:
            _, err = run.communicate(timeout=ARGS.timeout)
            self.assertEqual(run.returncode, 0, err.decode(errors="replace"))
        for label in ("first", "second"):
            self.assertTrue(os.path.exists(os.path.join(self.scratch, label)), label)
        self.assertEqual(sorted(self.names_in(user_zip)),
                         ["a.orvfg", "first.orvfg", "second.orvfg"])
        self.assertFalse(os.path.exists(self.work), "the last one out removes the work folder")


def raw_archive(entries, comment=b""):
    """A zip archive built byte by byte: (name, data, declared_size, method)."""
    import struct
    import zlib
    body, central, offset = [], [], 0
    for name, data, declared, method in entries:
        raw = name.encode()
        if method == 8:
            c = zlib.compressobj(6, zlib.DEFLATED, -15)
            payload = c.compress(data) + c.flush()
        else:
            payload = data
        crc = zlib.crc32(data)
        local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, 0, 0x21, crc,
                            len(payload), declared, len(raw), 0)
        central.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, method, 0, 0x21,
                                   crc, len(payload), declared, len(raw), 0, 0, 0, 0, 0x20,
                                   offset) + raw)
        body.append(local + raw + payload)
        offset += len(body[-1])
    directory = b"".join(central)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(directory),
                      offset, len(comment))
    return b"".join(body) + directory + end + comment


class HostileDictionary(LauncherCase):
    """A user dictionary that is damaged or hostile never costs the user the
    archive and never writes outside the work folder."""

    def files_outside(self):
        found = set()
        for root, dirs, files in os.walk(self.scratch):
            for name in files + [d + "/" for d in dirs]:
                path = os.path.relpath(os.path.join(root, name), self.scratch)
                found.add(path)
        return found

    def check(self, label, archive, may_work):
        user_zip = os.path.join(self.home, "dictheo.zip")
        with open(user_zip, "wb") as f:
            f.write(archive)
        before = self.files_outside()
        code = self.run_launcher()
        after = self.files_outside()
        added = {p for p in after - before
                 if p not in ("record.txt", "home/trad_dyn.pl") and not p.startswith("temp/orvane42")}
        self.assertEqual(added, set(), label + ": nothing is written outside the work folder")
        self.assertFalse(os.path.exists(self.work), label)
        if code == 0:
            self.assertTrue(may_work, label + " should have failed")
            self.names_in(user_zip)  # still a valid archive
        else:
            self.assertEqual(code, 217, label)
            self.assertIn("An unhandled exception occurred", self.stderr, label)
            self.assertEqual(self.read(user_zip), archive, label + ": the user's archive is kept")
        for name in ("trad_dyn.pl", "record.txt"):
            for base in (self.home, self.scratch):
                if os.path.exists(os.path.join(base, name)):
                    os.remove(os.path.join(base, name))

    def test_damaged_and_hostile_archives(self):
        good = raw_archive([("a.orvfg", b"alpha", 5, 0)])
        cases = [
            ("truncated", good[:len(good) // 2], False),
            ("bad signature", b"XX" + good[2:-22] + b"PK\x05\x07" + good[-18:], False),
            ("archive comment", raw_archive([("a.orvfg", b"alpha", 5, 0)], b"a comment"), False),
            ("parent folder name", raw_archive([("../x", b"x", 1, 0)]), False),
            ("absolute name", raw_archive([("/abs", b"x", 1, 0)]), False),
            ("drive name", raw_archive([("C:/x", b"x", 1, 0)]), True),
            ("backslash climbing name", raw_archive([("a\\..\\..\\x", b"x", 1, 0)]), False),
            ("inflates beyond its size", raw_archive([("big.orvfg", bytes(50 << 20), 10, 8)]),
             False),
        ]
        for label, archive, may_work in cases:
            with self.subTest(label):
                self.check(label, archive, may_work)
        self.assertFalse(os.path.exists("/abs"))

    def test_dictionary_with_the_most_entries_a_zip_file_holds(self):
        if ARGS.windows:
            # Wine makes every new file look for its name without regard to
            # case by reading the whole folder: 65,535 files in one folder
            # take most of an hour there, for Wine's sake alone.
            self.skipTest("quadratic in Wine's file creation")
        archive = raw_archive([("%d.orvfg" % i, b"", 0, 0) for i in range(65535)])
        self.check("65535 entries", archive, True)


class Arguments(LauncherCase):
    CASES = [
        ("none", [], []),
        ("one word", ["word"], ["word"]),
        ("a space is kept in one argument", ["two words"], ["two words"]),
        ("a tab splits on the inner command line", ["a\tb"], ["a", "b"]),
        ("a second argument is dropped", ["first", "second"], ["first"]),
    ]

    def test_argument_forms(self):
        for label, given, received in self.CASES:
            with self.subTest(label):
                if os.path.exists(self.record_path):
                    os.remove(self.record_path)
                self.assertEqual(self.run_launcher(*given), 0, self.stderr)
                rec = self.record()
                self.assertEqual(rec.args, received)
                if ARGS.windows:
                    self.assertEqual(rec.fields["cmdline"], self.inner_command_line(given))

    def inner_command_line(self, given):
        """The command line the inner application must receive: the quoted
        executable in W (the temporary folder, its separator, "\\orvane42\\"),
        one space, and the first argument, quoted when it holds a space."""
        executable = '"' + system_path(self.temp) + "\\\\orvane42\\orvane.exe" + '"'
        argument = given[0] if given else ""
        if " " in argument:
            argument = '"' + argument + '"'
        return executable + " " + argument


class Failures(LauncherCase):
    def user_files(self):
        user_zip = os.path.join(self.home, "dictheo.zip")
        self.make_archive(user_zip, {"a.orvfg": b"alpha"})
        with open(os.path.join(self.home, "trad_dyn.pl"), "w") as f:
            f.write("user translations\n")
        return {p: self.read(os.path.join(self.home, p)) for p in ("dictheo.zip", "trad_dyn.pl")}

    def assert_untouched(self, before):
        for name, data in before.items():
            self.assertEqual(self.read(os.path.join(self.home, name)), data, name)

    def test_payload_without_run_time_archive(self):
        before = self.user_files()
        self.assertEqual(self.run_launcher(launcher="orvane-launcher-no-yap"), 217)
        self.assert_failure_text("EFOpenError", "Unable to open file")
        self.assertIn("yap.zip", self.stderr)
        self.assertFalse(os.path.exists(self.record_path), "the inner application never started")
        self.assertFalse(os.path.exists(self.work))
        self.assert_untouched(before)

    def test_payload_without_inner_executable(self):
        before = self.user_files()
        self.assertEqual(self.run_launcher(launcher="orvane-launcher-no-inner"), 217)
        self.assert_failure_text("EProcess", "Failed to execute")
        self.assertIn("orvane.exe", self.stderr)
        self.assertFalse(os.path.exists(self.work))
        self.assert_untouched(before)

    def test_damaged_user_dictionary(self):
        user_zip = os.path.join(self.home, "dictheo.zip")
        with open(user_zip, "wb") as f:
            f.write(b"this is not a zip archive at all, just some bytes")
        before = self.read(user_zip)
        self.assertEqual(self.run_launcher(), 217)
        self.assert_failure_text("EZipError", "Corrupt ZIP file")
        self.assertFalse(os.path.exists(self.record_path))
        self.assertFalse(os.path.exists(self.work))
        self.assertEqual(self.read(user_zip), before)

    def test_unsafe_work_folder_is_neither_used_nor_removed(self):
        if ARGS.windows:
            self.skipTest("the ownership check is a POSIX matter")
        cases = {
            "group-writable folder": lambda: (os.makedirs(self.work),
                                              os.chmod(self.work, 0o777)),
            "symbolic link": lambda: (os.makedirs(os.path.join(self.scratch, "elsewhere")),
                                      os.symlink(os.path.join(self.scratch, "elsewhere"),
                                                 self.work)),
        }
        for label, make in cases.items():
            with self.subTest(label):
                make()
                marker = os.path.join(self.work, "marker")
                with open(marker, "w") as f:
                    f.write("keep me")
                self.assertEqual(self.run_launcher(), 217)
                self.assertIn("Error", self.stderr)
                self.assertTrue(os.path.exists(marker), "nothing is removed")
                self.assertFalse(os.path.exists(self.record_path))
                if os.path.islink(self.work):
                    os.remove(self.work)
                    shutil.rmtree(os.path.join(self.scratch, "elsewhere"))
                else:
                    shutil.rmtree(self.work)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--windows", action="store_true",
                        help="the programs are Windows programs, run by --runner (Wine)")
    parser.add_argument("--runner", default="", help="the Wine loader")
    parser.add_argument("--timeout", type=float, default=120, help="seconds per launcher run")
    ARGS, rest = parser.parse_known_args()
    ARGS.bin = os.path.abspath(ARGS.bin)
    if ARGS.windows:
        configure_wine_relay()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
