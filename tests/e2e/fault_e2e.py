#!/usr/bin/env python3
"""The user's files survive every fault.

The user's own data lives in two files of the launcher folder, "dictheo.zip"
and "trad_dyn.pl". A sweep makes each file operation of a whole run fail in
turn, and then makes the disk full from each write on; another test kills the
launcher at random moments while it returns the dictionary. After each run,
each of the two files must be exactly its old version or exactly its
complete new version.

Usage: fault_e2e.py --bin DIR [--kills N] [unittest args]
"""
import argparse
import io
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

ARGS = None
OLD_TRANSLATIONS = b"% the user's translations from an earlier run\n"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def zip_contents(data):
    """Entry name -> bytes, or None when data is not a valid archive."""
    try:
        with zipfile.ZipFile(io.BytesIO(data)) as z:
            if z.testzip() is not None:
                return None
            return {i.filename: z.read(i.filename) for i in z.infolist()}
    except (zipfile.BadZipFile, OSError, EOFError):
        return None


class FaultCase(unittest.TestCase):
    figures = 3

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="orvane-faults-")
        self.home = os.path.join(self.scratch, "home")
        self.temp = os.path.join(self.scratch, "temp")
        os.makedirs(self.home)
        figures = os.path.join(self.scratch, "figures")
        os.makedirs(figures)
        paths = []
        for i in range(self.figures):
            path = os.path.join(figures, "%d.orvfg" % (100 + i))
            with open(path, "wb") as f:
                f.write(os.urandom(2000) if i % 2 else b"point(a, 1, 2).\n" * 200)
            paths.append(path)
        old_zip = os.path.join(self.scratch, "old.zip")
        subprocess.run([os.path.join(ARGS.bin, "orvane-zip"), "create", old_zip] + paths,
                       check=True)
        with open(old_zip, "rb") as f:
            self.old_zip = f.read()

    def tearDown(self):
        shutil.rmtree(self.scratch, ignore_errors=True)

    def reset(self):
        shutil.rmtree(self.temp, ignore_errors=True)
        os.makedirs(self.temp)
        for name in os.listdir(self.home):
            os.remove(os.path.join(self.home, name))
        with open(os.path.join(self.home, "dictheo.zip"), "wb") as f:
            f.write(self.old_zip)
        with open(os.path.join(self.home, "trad_dyn.pl"), "wb") as f:
            f.write(OLD_TRANSLATIONS)

    def environment(self, **extra):
        env = {k: v for k, v in os.environ.items() if k not in ("TEMP", "TMP", "TMPDIR")}
        env["TEMP"] = self.temp
        env.update(extra)
        return env

    def user_files(self):
        out = {}
        for name in ("dictheo.zip", "trad_dyn.pl"):
            path = os.path.join(self.home, name)
            out[name] = read(path) if os.path.exists(path) else None
        return out

    def assert_old_or_new(self, files, new, label):
        self.assertIsNotNone(files["trad_dyn.pl"], label + ": trad_dyn.pl is missing")
        self.assertIn(files["trad_dyn.pl"], (OLD_TRANSLATIONS, new["trad_dyn.pl"]),
                      label + ": trad_dyn.pl is partial")
        self.assertIsNotNone(files["dictheo.zip"], label + ": dictheo.zip is missing")
        if files["dictheo.zip"] != self.old_zip:
            self.assertEqual(zip_contents(files["dictheo.zip"]), new["dictheo.zip"],
                             label + ": dictheo.zip is neither the old nor the new archive")


class FaultSweep(FaultCase):
    def run_faulty(self, **env):
        launcher = os.path.join(ARGS.bin, "orvane-launcher-faults")
        return subprocess.run([launcher], cwd=self.home, env=self.environment(**env),
                              capture_output=True, timeout=120)

    def test_every_file_operation_failing_and_the_disk_filling_up(self):
        self.reset()
        count_file = os.path.join(self.scratch, "count")
        clean = self.run_faulty(ORVANE_FAULT_COUNT=count_file)
        self.assertEqual(clean.returncode, 0, clean.stderr)
        operations, writes = map(int, read(count_file).split())
        new = self.user_files()
        new["dictheo.zip"] = zip_contents(new["dictheo.zip"])
        self.assertIn("run.orvfg", new["dictheo.zip"])
        self.assertNotEqual(new["trad_dyn.pl"], OLD_TRANSLATIONS)

        plans = [("fail", k) for k in range(1, operations + 1)]
        plans += [("diskfull", k) for k in range(1, writes + 1)]
        failed_runs = 0
        for mode, k in plans:
            label = "%s at %d" % (mode, k)
            self.reset()
            result = self.run_faulty(ORVANE_FAULT_MODE=mode, ORVANE_FAULT_AT=str(k))
            stderr = result.stderr.decode(errors="replace")
            self.assertIn(result.returncode, (0, 217), label + "\n" + stderr)
            if result.returncode == 217:
                failed_runs += 1
                self.assertIn("An unhandled exception occurred at $", stderr, label)
            self.assert_old_or_new(self.user_files(), new, label)
            leftovers = [n for n in os.listdir(self.home) if n.endswith(".new")]
            self.assertEqual(leftovers, [], label + ": a pending file was left behind")
        print("\nfault sweep: %d operations, %d writes, %d faults injected, %d runs failed"
              % (operations, writes, len(plans), failed_runs), file=sys.stderr)
        self.assertGreater(failed_runs, len(plans) // 4, "most faults must be noticed")


class Kills(FaultCase):
    # Enough figure files for the dictionary return to take a while.
    figures = 40

    def start(self, done):
        if os.path.exists(done):
            os.remove(done)
        launcher = os.path.join(ARGS.bin, "orvane-launcher")
        proc = subprocess.Popen([launcher], cwd=self.home,
                                env=self.environment(ORVANE_STAND_IN_DONE=done),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while not os.path.exists(done) and proc.poll() is None:
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.0002)
        return proc, time.monotonic()

    def test_killed_during_the_dictionary_return(self):
        done = os.path.join(self.scratch, "inner-done")
        # How long the launcher goes on once the inner application is done:
        # the kills land at random moments across that span.
        spans = []
        for _ in range(3):
            self.reset()
            proc, finished = self.start(done)
            proc.wait()
            spans.append(time.monotonic() - finished)
        span = max(spans)
        rng = random.Random(42)
        outcomes = {"old": 0, "new": 0}
        for attempt in range(ARGS.kills):
            self.reset()
            proc, _ = self.start(done)
            time.sleep(rng.uniform(0, span))
            if proc.poll() is None:
                proc.send_signal(signal.SIGKILL)
            proc.wait()
            data = read(os.path.join(self.home, "dictheo.zip"))
            if data == self.old_zip:
                outcomes["old"] += 1
            else:
                contents = zip_contents(data)
                self.assertIsNotNone(contents, "attempt %d: the dictionary is damaged" % attempt)
                self.assertIn("run.orvfg", contents)
                outcomes["new"] += 1
        print("\nkills: %d runs killed across %.1f ms after the inner application ended; "
              "dictionary old %d times, new %d times"
              % (ARGS.kills, span * 1000, outcomes["old"], outcomes["new"]), file=sys.stderr)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--kills", type=int, default=100)
    ARGS, rest = parser.parse_known_args()
    ARGS.bin = os.path.abspath(ARGS.bin)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
