#!/usr/bin/env python3
"""Builds a stand-in payload with the layout of the real one.

The outer archive holds the 21 top-level entries in their order, all
deflated, as a general-purpose archiver writes them; "orvane.exe" is the
stand-in inner application, the other application files are small
placeholders. "Yap.zip" holds the four folder entries, files under
"Yap/bin/" and "Yap/share/" and one stored entry. "dictheo.zip" is written by
the project's own zip tool.
"""
import argparse
import gzip
import os
import shlex
import subprocess
import sys
import tempfile
import zipfile

TOP_LEVEL = [
    "dictheo.zip", "orvane.exe", "brindle.dll", "lclstrconsts.es.po", "lclstrconsts.fr.po",
    "lclstrconsts.it.po", "libgcc_s_sjlj-1.dll", "libgmp-10.dll", "libswipl.dll",
    "libwinpthread-1.dll", "memfile.dll", "porter_stem.dll", "primaire.inh", "process.dll",
    "readutil.dll", "socket.dll", "startup.yss", "time.dll", "Yap.zip", "zlib1.dll",
    "zlib4pl.dll",
]
YAP_FOLDERS = ["Yap/", "Yap/bin/", "Yap/share/", "Yap/share/swi/"]
YAP_BIN = ["yap.exe", "yap.dll", "files.dll", "json.dll", "matrix.dll", "memfile.dll"]
YAP_SHARE = ["aggregate.pl", "INDEX.pl", "lists.yap", "ypp.yap"]
FIGURES = ["15.orvfg", "10000.orvfg", "14A.orvfg", "3118a.orvfg"]
# A fixed time: the build is reproducible.
STAMP = (2017, 6, 14, 15, 48, 58)


def placeholder(name):
    return ("placeholder for %s, a part of the inner application\n" % name).encode() * 20


def add(archive, name, data, method=zipfile.ZIP_DEFLATED, external=0x20):
    info = zipfile.ZipInfo(name, STAMP)
    info.compress_type = method
    info.external_attr = external
    info.create_system = 0
    archive.writestr(info, data)


def make_yap(path):
    with zipfile.ZipFile(path, "w") as z:
        for folder in YAP_FOLDERS[:3]:
            add(z, folder, b"", zipfile.ZIP_STORED, 0x10)
        for name in YAP_BIN:
            add(z, "Yap/bin/" + name, placeholder(name))
        for name in YAP_SHARE:
            add(z, "Yap/share/" + name, (":- module(%s, []).\n" % name).encode() * 30)
        add(z, "Yap/share/icon_address.pl", b"icon_address('http://localhost/icon.png').\n\n\n",
            zipfile.ZIP_STORED)
        add(z, "Yap/share/swi/", b"", zipfile.ZIP_STORED, 0x10)


def make_dictionary(path, zip_tool, work):
    folder = os.path.join(work, "figures")
    os.makedirs(folder, exist_ok=True)
    files = []
    for i, name in enumerate(FIGURES):
        clauses = "".join("point(p%d, %d, %d).\n" % (i, j, j * i) for j in range(40 * (i + 1)))
        data = gzip.compress(clauses.encode(), mtime=0)
        file = os.path.join(folder, name)
        with open(file, "wb") as f:
            f.write(data)
        files.append(file)
    subprocess.run(shlex.split(zip_tool) + ["create", path] + files, check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--stand-in", required=True, help="the stand-in inner executable")
    parser.add_argument("--zip-tool", required=True, help="command that runs orvane-zip")
    parser.add_argument("--out", required=True)
    parser.add_argument("--omit", action="append", default=[], help="leave this entry out")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as work:
        parts = {}
        yap = os.path.join(work, "Yap.zip")
        make_yap(yap)
        dictionary = os.path.join(work, "dictheo.zip")
        make_dictionary(dictionary, args.zip_tool, work)
        with open(args.stand_in, "rb") as f:
            parts["orvane.exe"] = f.read()
        with open(yap, "rb") as f:
            parts["Yap.zip"] = f.read()
        with open(dictionary, "rb") as f:
            parts["dictheo.zip"] = f.read()
        tmp_out = args.out + ".part"
        with zipfile.ZipFile(tmp_out, "w") as z:
            for name in TOP_LEVEL:
                if name in args.omit:
                    continue
                add(z, name, parts.get(name, placeholder(name)), external=0x2020)
        os.replace(tmp_out, args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
