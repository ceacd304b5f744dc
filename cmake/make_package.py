#!/usr/bin/env python3
"""Writes the release zip so that the same inputs always give the same bytes.

  make_package.py --source DIR --out FILE.zip NAME=PATH...

Entries go in the order given, then SHA256SUMS (a sha256sum -c list of them).
Every entry gets the time of SOURCE_DATE_EPOCH, or else of the source's last
commit, or else, for a source unpacked from an archive (`git archive`, a
downloaded source zip), the newest time of its files: such an archive gives
every file its commit's time, so the zip is the one its commit makes.
Fixed modes; no extra fields. A .txt entry gets CR LF line ends.
FILE.zip.sha256 records the zip's own sum.
"""
import argparse
import hashlib
import os
import subprocess
import sys
import time
import zipfile

DOS_EPOCH = 315532800  # 1980-01-01, the earliest time a zip entry can hold


def newest_file_time(source, skip):
    """The newest modification time of the source's files, leaving out hidden
    entries and the folder `skip` (the builds)."""
    newest = 0
    for folder, dirs, files in os.walk(source):
        dirs[:] = [d for d in dirs if not d.startswith(".")
                   and os.path.abspath(os.path.join(folder, d)) != skip]
        for name in files:
            if not name.startswith("."):
                newest = max(newest, int(os.stat(os.path.join(folder, name)).st_mtime))
    return newest


def source_epoch(source, build):
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        out = subprocess.run(["git", "-C", source, "rev-parse", "--show-toplevel"],
                             capture_output=True, text=True, check=True).stdout
        if os.path.samefile(out.strip(), source):
            out = subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"],
                                 capture_output=True, text=True, check=True).stdout
            return int(out.strip())
    except (OSError, subprocess.CalledProcessError, ValueError):
        pass
    # No commit of its own: a source unpacked from an archive.
    source = os.path.abspath(source)
    build = os.path.abspath(build)
    top = build
    while os.path.dirname(top) != source and os.path.dirname(top) != top:
        top = os.path.dirname(top)
    when = newest_file_time(source, top if os.path.dirname(top) == source else "")
    if when <= 0:
        sys.exit("make_package: no SOURCE_DATE_EPOCH, no commit and no files to take the time from")
    print(f"make_package: no commit; the newest source file's time, {when}, as an archive gives")
    return when


def entry(name, data, when, mode):
    info = zipfile.ZipInfo(name, date_time=time.gmtime(max(when, DOS_EPOCH))[:6])
    info.create_system = 3  # Unix, so the mode below is what an unzip applies
    info.external_attr = (0o100000 | mode) << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info, data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True, help="the build folder, left out of the source")
    parser.add_argument("--out", required=True)
    parser.add_argument("files", nargs="+", metavar="NAME=PATH")
    args = parser.parse_args()
    when = source_epoch(args.source, args.build)

    entries = []
    sums = []
    for item in args.files:
        name, _, path = item.partition("=")
        with open(path, "rb") as f:
            data = f.read()
        if name.endswith(".txt"):
            data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        entries.append(entry(name, data, when, 0o755 if name.endswith(".exe") else 0o644))
        sums.append(f"{hashlib.sha256(data).hexdigest()}  {name}\n")
    entries.append(entry("SHA256SUMS", "".join(sums).encode(), when, 0o644))

    temp = args.out + ".part"
    with zipfile.ZipFile(temp, "w") as z:
        for info, data in entries:
            z.writestr(info, data, compresslevel=9)
    os.replace(temp, args.out)
    with open(args.out, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    with open(args.out + ".sha256", "w") as f:
        f.write(f"{digest}  {os.path.basename(args.out)}\n")
    print(f"{digest}  {args.out}")


if __name__ == "__main__":
    main()
