#!/usr/bin/env python3
"""Writes the release zip so that the same inputs always give the same bytes.

  make_package.py --source DIR --out FILE.zip NAME=PATH...

Entries go in the order given, then SHA256SUMS (a sha256sum -c list of them).
Every entry gets the time of SOURCE_DATE_EPOCH, or else of the source's last
commit; fixed modes; no extra fields. A .txt entry gets CR LF line ends.
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


def source_epoch(source):
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        out = subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"],
                             capture_output=True, text=True, check=True).stdout
        return int(out.strip())
    except (OSError, subprocess.CalledProcessError, ValueError):
        sys.exit("make_package: no SOURCE_DATE_EPOCH and no commit to take the time from")


def entry(name, data, when, mode):
    info = zipfile.ZipInfo(name, date_time=time.gmtime(max(when, DOS_EPOCH))[:6])
    info.create_system = 3  # Unix, so the mode below is what an unzip applies
    info.external_attr = (0o100000 | mode) << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info, data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("files", nargs="+", metavar="NAME=PATH")
    args = parser.parse_args()
    when = source_epoch(args.source)

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
