"""Tables and target checks shared by the benchmark scripts.

Command line (used by zip-vs-peers.sh):
    report.py peers WORK-FOLDER ORVANE-ZIP RUNS BIG-SIZE
        times and measures orvane-zip against its peers on the sources the
        script made in WORK-FOLDER, and prints the tables
"""
import json
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time


def ms(seconds):
    return "%.1f ms" % (seconds * 1000.0)


def verdict(ratio, target):
    return "met" if ratio <= target else "NOT MET"


def print_table(title, header, rows):
    print()
    print(title)
    widths = [max(len(str(r[i])) for r in [header] + rows) for i in range(len(header))]
    line = "  ".join("%-*s" % (w, h) for w, h in zip(widths, header))
    print("  " + line)
    print("  " + "  ".join("-" * w for w in widths))
    for r in rows:
        print("  " + "  ".join("%-*s" % (w, c) for w, c in zip(widths, r)))


def peak_rss_kb(command, env=None, runs=3, prepare=None, cwd=None):
    """Median over runs of /usr/bin/time's maximum resident set size, in kB."""
    values = []
    for _ in range(runs):
        if prepare:
            prepare()
        done = subprocess.run(["/usr/bin/time", "-v"] + command, env=env, cwd=cwd, check=True,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        for line in done.stderr.splitlines():
            if "Maximum resident set size" in line:
                values.append(int(line.split(":")[1]))
    return statistics.median(values)


def run_timed(command, env=None, cwd=None):
    """(wall seconds, CPU seconds of the child: user + system) of one run."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, env=env, cwd=cwd, check=True, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


class Case:
    """One thing to time: prepare() untimed, then run() returning {figure: seconds}."""

    def __init__(self, name, run, prepare=None):
        self.name, self.run, self.prepare = name, run, prepare
        self.figures = {}

    def once(self, keep):
        if self.prepare:
            self.prepare()
        figures = self.run()
        if keep:
            for key, value in figures.items():
                self.figures.setdefault(key, []).append(value)

    def median(self, figure="wall"):
        return statistics.median(self.figures[figure])


def command_case(name, command, prepare=None, env=None, cwd=None):
    def run():
        wall, cpu = run_timed(command, env=env, cwd=cwd)
        return {"wall": wall, "cpu": cpu}
    return Case(name, run, prepare)


def interleaved(cases, runs, warmup=1):
    """Runs every case once per round, round after round, so that a change of
    the machine's load touches all cases alike; the first rounds are warm-up."""
    for round_number in range(warmup + runs):
        for case in cases:
            case.once(keep=round_number >= warmup)
    return cases


def benchmark_json(path):
    """{benchmark name: median bytes_per_second} from Google Benchmark's JSON output."""
    with open(path) as f:
        data = json.load(f)
    out = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") == "median":
            out[b["run_name"]] = b["bytes_per_second"]
    return out


def codec_table(path):
    speeds = benchmark_json(path)
    rows = []
    for operation, ours in (("deflate", "BM_TDeflater"), ("inflate", "BM_TInflater")):
        zlib = "BM_Zlib" + operation.capitalize()
        for arg, kind in (("0", "text"), ("1", "random")):
            codec = speeds[ours + "/" + arg]
            direct = speeds[zlib + "/" + arg]
            with_crc = speeds[zlib + "Crc/" + arg]
            streamed = speeds[zlib + "Streamed/" + arg]
            slower = direct / codec - 1.0
            rows.append([operation, kind, "%.0f MB/s" % (codec / 1e6), "%.0f MB/s" % (direct / 1e6),
                         "%.0f MB/s" % (with_crc / 1e6), "%.0f MB/s" % (streamed / 1e6),
                         "%+.1f %%" % (100 * slower), "%+.1f %%" % (100 * (with_crc / codec - 1)),
                         "%+.1f %%" % (100 * (streamed / codec - 1))])
    print_table("Codec throughput (plain bytes, median of 10 repetitions in random order; "
                "'slower' = how much more time the codec takes)",
                ["op", "data", "codec", "zlib", "zlib+crc", "zlib streamed", "slower vs zlib",
                 "vs zlib+crc", "vs streamed"], rows)
    blocks = ", ".join("%s KB %.0f MB/s" % (int(size) // 1024, speeds[
        "BM_TInflaterBlockSize/" + size] / 1e6) for size in ("16384", "65536", "262144"))
    print("  TInflater on text by block size: " + blocks)
    steps = ", ".join("%s %.0f MB/s (codec %+.1f %%)" % (
        kind, speeds["BM_ZlibInflateSteps/" + arg] / 1e6,
        100 * (speeds["BM_ZlibInflateSteps/" + arg] / speeds["BM_TInflater/" + arg] - 1))
        for arg, kind in (("0", "text"), ("1", "random")))
    print("  zlib alone inflating in 16 KB output steps, no copies: " + steps)
    crc_block = speeds["BM_UpdateCrc32Block"]
    crc_byte = speeds["BM_UpdateCrc32Bytewise"]
    print("  CRC-32: UpdateCrc32Block %.0f MB/s, bytewise UpdateCrc32 %.0f MB/s (%.1fx)" % (
        crc_block / 1e6, crc_byte / 1e6, crc_block / crc_byte))
    print("  target: codec within 5 % of zlib direct")


def measure_peers(work, ozip, runs):
    """Times orvane-zip against unzip and zip (interleaved), and their peak memory."""
    out, made = os.path.join(work, "out"), os.path.join(work, "made.zip")
    source = os.path.join(work, "source.zip")
    files = sorted(os.path.join(work, "src", f) for f in os.listdir(os.path.join(work, "src")))

    def fresh():
        shutil.rmtree(out, ignore_errors=True)
        if os.path.exists(made):
            os.remove(made)

    extract = [command_case("orvane-zip extract", [ozip, "extract", source, out], fresh),
               command_case("unzip -q", ["unzip", "-q", source, "-d", out], fresh)]
    create = [command_case("orvane-zip create", [ozip, "create", made] + files, fresh),
              command_case("zip -q -6", ["zip", "-q", "-6", "-j", made] + files, fresh)]
    print("timing extract and create, %d interleaved rounds ..." % runs, file=sys.stderr)
    interleaved(extract + create, runs, warmup=2)

    print("measuring peak memory ...", file=sys.stderr)
    rss = {}
    extractors = (("orvane-zip extract", lambda a: [ozip, "extract", a, out]),
                  ("unzip -q", lambda a: ["unzip", "-q", a, "-d", out]))
    for tool, command in extractors:
        rss[tool] = {size: peak_rss_kb(command(os.path.join(work, size + ".zip")), prepare=fresh)
                     for size in ("tiny", "big")}
    creators = (("orvane-zip create", lambda f: [ozip, "create", made, f]),
                ("zip -q -6", lambda f: ["zip", "-q", "-6", "-j", made, f]))
    for tool, command in creators:
        rss[tool] = {size: peak_rss_kb(command(os.path.join(work, name)), prepare=fresh, runs=1)
                     for size, name in (("tiny", "tiny.txt"), ("big", "big.bin"))}
    fresh()
    return extract, create, rss


def peers(work, ozip, runs, big_size):
    extract, create, rss = measure_peers(work, ozip, runs)
    rows = []
    for title, (ours, peer), target in (("extract", extract, 1.0), ("create", create, 1.1)):
        ratio = ours.median() / peer.median()
        rows.append([title, ms(ours.median()), ms(ours.median("cpu")), peer.name,
                     ms(peer.median()), ms(peer.median("cpu")), "%.2fx" % ratio,
                     "<= %.2fx" % target, verdict(ratio, target)])
    print_table("orvane-zip against Info-ZIP on %d files of %.1f MB (median of %d interleaved "
                "runs)" % (len(os.listdir(os.path.join(work, "src"))),
                           sum(os.path.getsize(os.path.join(work, "src", f))
                               for f in os.listdir(os.path.join(work, "src"))) / 1e6, runs),
                ["step", "orvane-zip", "CPU", "peer", "peer time", "CPU", "ratio", "target", ""],
                rows)

    rows = []
    for tool in ("orvane-zip extract", "unzip -q", "orvane-zip create", "zip -q -6"):
        tiny, big = rss[tool]["tiny"], rss[tool]["big"]
        rows.append([tool, "%d kB" % tiny, "%d kB" % big, "%+d kB" % (big - tiny)])
    print_table("Peak resident memory, tiny archive against one %d MB entry (/usr/bin/time -v)" %
                (big_size >> 20), ["command", "tiny", "big entry", "growth"], rows)
    growth = rss["orvane-zip extract"]["big"] - rss["orvane-zip extract"]["tiny"]
    print("  target: extract grows by under 10240 kB: %s" % verdict(growth, 10240 - 1))

    codec_table(os.path.join(work, "codecs.json"))


def main(argv):
    if len(argv) == 5 and argv[0] == "peers":
        peers(argv[1], argv[2], int(argv[3]), int(argv[4]))
        return 0
    raise SystemExit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
