#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into corpus/<target>/.

The archives come from peers (Python's zipfile, Info-ZIP zip) and, when
--zip-tool names it, from the project's own writer (orvane-zip create); a few
are laid out byte by byte to show what the reader must refuse. Every file is
small: the corpus is also replayed by the normal test suite.

Usage: make_corpus.py [--zip-tool PATH/orvane-zip] [--out DIR]
"""

import argparse
import io
import os
import shutil
import struct
import subprocess
import tempfile
import zipfile
import zlib

DATE_TIME = (2017, 6, 14, 15, 48, 58)
DOS_DATE, DOS_TIME = 0x4ACE, 0x7E1D
TOUCH_STAMP = "201706141548.58"

TEXT = (b"theorem lemma proof figure point line circle angle\r\n" * 24)


class Unseekable(io.RawIOBase):
    """A write-only stream without seek, so that zipfile writes data descriptors."""

    def __init__(self):
        self.data = bytearray()

    def writable(self):
        return True

    def write(self, b):
        self.data += b
        return len(b)


def info(name, method=zipfile.ZIP_STORED):
    entry = zipfile.ZipInfo(name, DATE_TIME)
    entry.compress_type = method
    entry.external_attr = 0o644 << 16
    return entry


def python_archives():
    """Archives written by Python's zipfile."""
    out = {}

    def build(entries, comment=b""):
        buffer = io.BytesIO()
        with zipfile.ZipFile(buffer, "w") as archive:
            for name, data, method in entries:
                archive.writestr(info(name, method), data)
            archive.comment = comment
        return buffer.getvalue()

    out["py_stored.zip"] = build([("a.txt", b"abc", zipfile.ZIP_STORED),
                                  ("empty.txt", b"", zipfile.ZIP_STORED)])
    out["py_deflated.zip"] = build([("lemmas.txt", TEXT, zipfile.ZIP_DEFLATED),
                                    ("short.txt", b"x", zipfile.ZIP_DEFLATED)])
    out["py_folders.zip"] = build([("Yap/", b"", zipfile.ZIP_STORED),
                                   ("Yap/bin/", b"", zipfile.ZIP_STORED),
                                   ("Yap/bin/yap.exe", b"MZ\x90\x00", zipfile.ZIP_DEFLATED)])
    out["py_comment.zip"] = build([("a.txt", b"abc", zipfile.ZIP_STORED)], b"an archive comment")
    out["py_unsafe_names.zip"] = build([("../escape.txt", b"1", zipfile.ZIP_STORED),
                                        ("/absolute.txt", b"2", zipfile.ZIP_STORED),
                                        ("C:/data/a.txt", b"3", zipfile.ZIP_STORED),
                                        ("dir\\..\\..\\back.txt", b"4", zipfile.ZIP_STORED),
                                        ("trailing\\", b"5", zipfile.ZIP_STORED)])

    stream = Unseekable()
    with zipfile.ZipFile(stream, "w") as archive:
        with archive.open(info("streamed.txt", zipfile.ZIP_DEFLATED), "w") as entry:
            entry.write(TEXT[:300])
        with archive.open(info("streamed-stored.txt"), "w") as entry:
            entry.write(b"stored through a descriptor")
    out["py_data_descriptor.zip"] = bytes(stream.data)
    return out


def local_header(name, data, method, crc, size, compressed=None):
    compressed = len(data) if compressed is None else compressed
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 10, 0, method, DOS_TIME, DOS_DATE, crc,
                       compressed, size, len(name), 0) + name


def central_header(name, method, crc, size, compressed, offset):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 10, 10, 0, method, DOS_TIME, DOS_DATE,
                       crc, compressed, size, len(name), 0, 0, 0, 0, 0x20, offset) + name


def end_record(count, size, offset):
    return struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, size, offset, 0)


def raw_archive(entries):
    """entries: (local name, central name, stored bytes, method, crc, size)."""
    body, directory = b"", b""
    for local_name, central_name, data, method, crc, size in entries:
        offset = len(body)
        body += local_header(local_name, data, method, crc, size) + data
        directory += central_header(central_name, method, crc, size, len(data), offset)
    return body + directory + end_record(len(entries), len(directory), len(body))


def raw_deflate(data):
    compressor = zlib.compressobj(zlib.Z_DEFAULT_COMPRESSION, zlib.DEFLATED, -15)
    return compressor.compress(data) + compressor.flush()


def raw_archives():
    """Archives laid out byte by byte, each showing one thing the reader checks."""
    crc = zlib.crc32(b"abc")
    deflated = raw_deflate(TEXT)
    return {
        "raw_end_record_only.zip": end_record(0, 0, 0),
        "raw_names_differ.zip": raw_archive([(b"b.txt", b"a.txt", b"abc", 0, crc, 3)]),
        "raw_wrong_crc.zip": raw_archive([(b"a.txt", b"a.txt", b"abc", 0, crc ^ 1, 3)]),
        "raw_method_12.zip": raw_archive([(b"a.txt", b"a.txt", b"abc", 12, crc, 3)]),
        # Declares less than the data inflates to: the reader must stop there.
        "raw_inflates_past_size.zip": raw_archive(
            [(b"big.txt", b"big.txt", deflated, 8, zlib.crc32(TEXT), 100)]),
        "raw_cut_deflate.zip": raw_archive(
            [(b"cut.txt", b"cut.txt", deflated[: len(deflated) // 2], 8, zlib.crc32(TEXT),
              len(TEXT))]),
    }


def write_tree(folder):
    os.makedirs(os.path.join(folder, "dictheo", "sub"))
    files = {"dictheo/th1.geo": TEXT[:200], "dictheo/sub/th2.geo": TEXT,
             "dictheo/empty.geo": b"", "dictheo/abc.geo": b"abc"}
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as handle:
            handle.write(data)
    for root, dirs, names in os.walk(folder):
        for name in dirs + names:
            subprocess.run(["touch", "-t", TOUCH_STAMP, os.path.join(root, name)], check=True)
    return sorted(files)


def infozip_archives(work):
    """Archives written by Info-ZIP zip (folder entries, extra fields, stored and deflated)."""
    if shutil.which("zip") is None:
        return {}
    tree = os.path.join(work, "tree")
    write_tree(tree)
    out = {}
    for label, flags in (("infozip_deflated.zip", ["-r"]), ("infozip_stored.zip", ["-r", "-0"]),
                         ("infozip_no_extra.zip", ["-r", "-X", "-D"])):
        target = os.path.join(work, label)
        subprocess.run(["zip", "-q", *flags, target, "dictheo"], cwd=tree, check=True)
        with open(target, "rb") as handle:
            out[label] = handle.read()
    return out


def orvane_archives(work, zip_tool):
    """Archives written by the project's own writer."""
    if not zip_tool:
        return {}
    tree = os.path.join(work, "own")
    files = [os.path.join(tree, name) for name in write_tree(tree)]
    out = {}
    target = os.path.join(work, "orvane_zip.zip")
    subprocess.run([zip_tool, "create", target, *files], check=True)
    with open(target, "rb") as handle:
        out["orvane_zip.zip"] = handle.read()
    return out


def record_seeds(archives):
    """The three records, as the reader meets them, and a few date-time words."""
    sample = archives["py_stored.zip"]
    local = sample[:30]
    central_at = sample.find(b"PK\x01\x02")
    end_at = sample.rfind(b"PK\x05\x06")
    return {
        "local_header.bin": local + struct.pack("<I", 0x1234),
        "central_header.bin": sample[central_at:central_at + 46],
        "end_record.bin": sample[end_at:end_at + 22],
        "dos_2017_06_14.bin": struct.pack("<HH", DOS_DATE, DOS_TIME),
        "dos_zero_date.bin": struct.pack("<HH", 0, 0),
        "dos_leap_day.bin": struct.pack("<HH", (2020 - 1980) << 9 | 2 << 5 | 29, 23 << 11 | 59 << 5 | 29),
        "dos_bad_time.bin": struct.pack("<HH", DOS_DATE, 24 << 11),
    }


def command_line_seeds():
    lines = {
        "plain.txt": b"orvane-launcher.exe theorem.geo",
        "quoted_path.txt": b'"C:\\Program Files\\Orvane\\orvane.exe" "my theorem.geo" second',
        "doubled_quotes.txt": b'launcher.exe "a""b" c""d',
        "unterminated.txt": b'launcher.exe "open quote to the end',
        "empty_argument.txt": b'launcher.exe "" next',
        "separators.txt": b"  launcher.exe\targ\x01one\x1fmore  \x20 last ",
        "empty.txt": b"",
    }
    return lines


def write_all(folder, files):
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as handle:
            handle.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zip-tool", help="orvane-zip, for archives of the project's writer")
    parser.add_argument("--out", default=os.path.join(os.path.dirname(__file__), "corpus"))
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as work:
        archives = python_archives()
        archives.update(raw_archives())
        archives.update(infozip_archives(work))
        archives.update(orvane_archives(work, args.zip_tool))
    write_all(os.path.join(args.out, "reader"), archives)
    write_all(os.path.join(args.out, "records"), record_seeds(archives))
    write_all(os.path.join(args.out, "splitter"), command_line_seeds())


if __name__ == "__main__":
    main()
