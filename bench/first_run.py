"""The launcher's first run against unzip, bsdtar and the floor.

Called by first-run.sh with the built programs and the prepared files; see
README.md for what each figure means. Every figure is a median over RUNS runs.

How the set-up alone is timed: the launcher runs under
`strace -f --seccomp-bpf -e trace=execve`, which stops the traced processes
only at execve, so the run is not slowed (the script prints the whole run's
time with and without strace to show it). The set-up is the time from the
launcher's own execve to the execve of the inner application "orvane.exe";
the return is the time from the inner application's exit to the launcher's.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import report  # noqa: E402

INNER = "orvane.exe"
WORK_NAME = "orvane42"


class Layout:
    """The launcher folder L and the temporary folder that holds W."""

    def __init__(self, root, user_dictionary):
        self.root = root
        self.launcher = os.path.join(root, "L")
        self.temp = os.path.join(root, "temp")
        self.work = os.path.join(self.temp, WORK_NAME)
        self.user_dictionary = user_dictionary
        os.makedirs(self.launcher, exist_ok=True)
        os.makedirs(self.temp, exist_ok=True)

    def environment(self):
        env = dict(os.environ)
        for name in ("TEMP", "TMP", "TMPDIR"):
            env.pop(name, None)
        env["TEMP"] = self.temp
        env["ORVANE_STAND_IN_NOOP"] = "1"
        return env

    def reset(self):
        """W gone, L holding the user's dictionary as it was before any run."""
        shutil.rmtree(self.work, ignore_errors=True)
        shutil.copyfile(self.user_dictionary, os.path.join(self.launcher, "dictheo.zip"))
        for name in ("trad_dyn.pl",):
            path = os.path.join(self.launcher, name)
            if os.path.exists(path):
                os.remove(path)


# --- the launcher -------------------------------------------------------------------

_TRACE_LINE = re.compile(r"^(\d+)\s+(\d+\.\d+) (.*)$")


def parse_trace(trace):
    """(set-up, whole, return) in seconds from a trace of one launcher run."""
    launcher_pid = start = inner_pid = inner_start = inner_end = end = None
    with open(trace) as f:
        for line in f:
            m = _TRACE_LINE.match(line.strip())
            if not m:
                continue
            pid, stamp, call = int(m.group(1)), float(m.group(2)), m.group(3)
            if call.startswith("execve(") and launcher_pid is None:
                launcher_pid, start = pid, stamp
            elif call.startswith("execve(") and INNER in call.split(",")[0]:
                inner_pid, inner_start = pid, stamp
            elif call.startswith("+++ exited"):
                if pid == inner_pid:
                    inner_end = stamp
                elif pid == launcher_pid:
                    end = stamp
    if None in (start, inner_start, inner_end, end):
        raise SystemExit("first-run: no start of %s in the trace %s" % (INNER, trace))
    return inner_start - start, end - start, end - inner_end


def launcher_cases(launcher, layout, trace):
    env = layout.environment()

    def whole():
        wall, cpu = report.run_timed([launcher], env=env, cwd=layout.launcher)
        if os.path.exists(layout.work):
            raise SystemExit("first-run: the launcher left its work folder behind")
        return {"wall": wall, "cpu": cpu}

    def traced():
        subprocess.run(["strace", "-f", "--seccomp-bpf", "-q", "-e", "trace=execve", "-e",
                        "signal=none", "-ttt", "-o", trace, launcher], env=env,
                       cwd=layout.launcher, check=True, stdout=subprocess.DEVNULL)
        setup, whole_run, back = parse_trace(trace)
        return {"setup": setup, "wall": whole_run, "return": back}

    return [report.Case("launcher", whole, layout.reset),
            report.Case("launcher traced", traced, layout.reset)]


# --- peers: the same extraction work step by step -------------------------------------

def peer_case(name, extract, layout, payload):
    """The set-up's work done by an extractor command, timed step by step.

    extract(archive, folder) gives the command line. The copies and deletions
    are done here, in process, and timed with the rest (wall and CPU).
    """
    w = layout.work

    def run():
        wall = cpu = 0.0

        def step(action):
            nonlocal wall, cpu
            start, start_cpu = time.perf_counter(), time.process_time()
            action()
            wall += time.perf_counter() - start
            cpu += time.process_time() - start_cpu

        def extract_into(archive, folder):
            nonlocal wall, cpu
            step_wall, step_cpu = report.run_timed(extract(archive, folder))
            wall += step_wall
            cpu += step_cpu

        step(lambda: os.makedirs(w))
        step(lambda: shutil.copyfile(payload, os.path.join(w, "orvaneprincipal.zip")))
        extract_into(os.path.join(w, "orvaneprincipal.zip"), w)
        step(lambda: os.remove(os.path.join(w, "orvaneprincipal.zip")))
        extract_into(os.path.join(w, "Yap.zip"), w)
        step(lambda: os.remove(os.path.join(w, "Yap.zip")))
        step(lambda: shutil.copyfile(os.path.join(layout.launcher, "dictheo.zip"),
                                     os.path.join(w, "dictheo.zip")))
        step(lambda: os.makedirs(os.path.join(w, "dictheo")))
        extract_into(os.path.join(w, "dictheo.zip"), os.path.join(w, "dictheo"))
        return {"wall": wall, "cpu": cpu}

    return report.Case(name, run, layout.reset)


def unzip_command(archive, folder):
    return ["unzip", "-q", "-o", archive, "-d", folder]


def bsdtar_command(archive, folder):
    return ["bsdtar", "-xf", archive, "-C", folder]


# --- the floor ---------------------------------------------------------------------

def floor_cases(floor, layout, setup_container, pack_container):
    packed = os.path.join(layout.launcher, "dictheo.floor.zip")
    set_up = [floor, "setup", setup_container, layout.work]

    def fresh_set_up():
        layout.reset()
        subprocess.run(set_up, check=True)

    return [report.command_case("floor set-up", set_up, prepare=layout.reset),
            report.command_case("floor pack", [floor, "pack", pack_container, layout.work,
                                               packed], prepare=fresh_set_up)]


# --- entry counts ------------------------------------------------------------------

def entry_count_cases(ozip, archives, scratch):
    out = os.path.join(scratch, "out")

    def fresh():
        shutil.rmtree(out, ignore_errors=True)

    cases = []
    for count, archive in archives:
        cases.append((count,
                      report.command_case("orvane-zip %d" % count, [ozip, "extract", archive, out],
                                          prepare=fresh),
                      report.command_case("unzip %d" % count, unzip_command(archive, out),
                                          prepare=fresh)))
    return cases, fresh


# --- report --------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--floor", required=True)
    parser.add_argument("--orvane-zip", required=True)
    parser.add_argument("--payload", required=True)
    parser.add_argument("--dictionary", required=True, help="the user's dictheo.zip")
    parser.add_argument("--setup-container", required=True)
    parser.add_argument("--pack-container", required=True)
    parser.add_argument("--many", action="append", default=[], metavar="COUNT=ARCHIVE")
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--count-runs", type=int, default=5,
                        help="runs of each entry-count extraction")
    args = parser.parse_args()

    runs = args.runs
    layout = Layout(os.path.join(args.work, "run"), args.dictionary)
    payload_size = os.path.getsize(args.payload)

    with tempfile.TemporaryDirectory() as scratch:
        trace = os.path.join(scratch, "trace")
        launcher, traced = launcher_cases(args.launcher, layout, trace)
        unzip = peer_case("unzip", unzip_command, layout, args.payload)
        bsdtar = peer_case("bsdtar", bsdtar_command, layout, args.payload)
        floor_setup, floor_pack = floor_cases(args.floor, layout, args.setup_container,
                                              args.pack_container)
        print("timing the first run, %d interleaved rounds ..." % runs, file=sys.stderr)
        report.interleaved([launcher, traced, unzip, bsdtar, floor_setup, floor_pack], runs)
    print("measuring peak memory ...", file=sys.stderr)
    rss = report.peak_rss_kb([args.launcher], env=layout.environment(), runs=3,
                             prepare=layout.reset, cwd=layout.launcher)
    layout.reset()
    shutil.rmtree(layout.work, ignore_errors=True)
    print("timing extraction by entry count ...", file=sys.stderr)
    archives = sorted((int(c), a) for c, a in (m.split("=", 1) for m in args.many))
    counts, tidy = entry_count_cases(args.orvane_zip, archives, os.path.join(args.work, "many"))
    for _, ours, theirs in counts:
        report.interleaved([ours, theirs], args.count_runs)
    tidy()

    m_whole, m_setup = launcher.median(), traced.median("setup")
    m_return, m_traced = traced.median("return"), traced.median()
    m_unzip, m_bsdtar = unzip.median(), bsdtar.median()
    m_floor, m_pack = floor_setup.median(), floor_pack.median()

    def cpu(case):
        return report.ms(case.median("cpu")) if "cpu" in case.figures else ""

    report.print_table("First run with a user dictheo.zip in L (median of %d runs)" % runs,
                       ["what", "wall", "CPU", "note"], [
        ["launcher, whole run", report.ms(m_whole), cpu(launcher), "set-up, no-op inner "
         "application, dictionary return, removal"],
        ["launcher, whole run under strace", report.ms(m_traced), "", "strace's own cost: "
         "%+.1f %%" % (100 * (m_traced / m_whole - 1))],
        ["launcher, set-up", report.ms(m_setup), "", "start until orvane.exe is started"],
        ["launcher, after the inner app", report.ms(m_return), "", "dictionary packed, W "
         "removed"],
        ["unzip -q, same extraction", report.ms(m_unzip), cpu(unzip), "payload file written, "
         "3 archives unpacked"],
        ["bsdtar -xf, same extraction", report.ms(m_bsdtar), cpu(bsdtar), "as above"],
        ["floor, set-up", report.ms(m_floor), cpu(floor_setup), "inflate and write each file "
         "once"],
        ["floor, pack 315 files", report.ms(m_pack), cpu(floor_pack), "deflate each once, "
         "write one archive"],
    ])
    target_whole = m_setup + m_pack
    rows = [
        ["set-up / unzip -q", "%.2fx" % (m_setup / m_unzip), "<= 1.00x",
         report.verdict(m_setup / m_unzip, 1.0)],
        ["set-up / floor", "%.2fx" % (m_setup / m_floor), "<= 1.25x",
         report.verdict(m_setup / m_floor, 1.25)],
        ["whole / (set-up + floor pack)", "%.2fx" % (m_whole / target_whole), "<= 1.10x",
         report.verdict(m_whole / target_whole, 1.1)],
        ["set-up / bsdtar -xf", "%.2fx" % (m_setup / m_bsdtar), "(for reference)", ""],
    ]
    limit_kb = payload_size / 1024 + 16 * 1024
    rows.append(["peak RSS", "%d kB" % rss, "<= %d kB (payload %d kB + 16 MB)" % (
        limit_kb, payload_size / 1024), report.verdict(rss, limit_kb)])
    report.print_table("Targets", ["measure", "value", "target", ""], rows)

    if counts:
        medians = [(count, ours.median(), theirs.median()) for count, ours, theirs in counts]
        base_ours = medians[0][1] / medians[0][0]
        base_theirs = medians[0][2] / medians[0][0]
        rows = []
        for count, ours, theirs in medians:
            rows.append(["%d" % count, report.ms(ours), "%.1f us" % (1e6 * ours / count),
                         "%.2f" % (ours / count / base_ours), report.ms(theirs),
                         "%.1f us" % (1e6 * theirs / count),
                         "%.2f" % (theirs / count / base_theirs)])
        report.print_table("Extraction by entry count (small deflated files, 1,000 per folder; "
                           "median of %d runs)" % args.count_runs,
                           ["entries", "orvane-zip", "per entry", "vs first", "unzip -q",
                            "per entry", "vs first"], rows)
        last = medians[-1][1] / medians[-1][0] / base_ours
        print("  target: per-entry cost flat (largest/smallest <= 1.25): %s" %
              report.verdict(last, 1.25))
    return 0


if __name__ == "__main__":
    sys.exit(main())
