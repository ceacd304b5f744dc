#!/usr/bin/env python3
"""Makes a disc image that the launcher accepts: an HV1 folder holding every
manifest row at its exact size, with placeholder contents, authored by xorriso.

usage: make-disc-image.py MANIFEST.tsv IMAGE [--tree DIR] [--extra]
MANIFEST.tsv is what `halvorn-disc manifest` prints (path<TAB>size)."""
import os
import shutil
import subprocess
import sys
import tempfile


def build_tree(manifest_path, tree):
    with open(manifest_path, encoding="utf-8") as rows:
        for line in rows:
            if not line.strip():
                continue
            rel, size = line.rstrip("\n").split("\t")
            size = int(size)
            target = os.path.join(tree, "HV1", *rel.split("\\"))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            header = ("placeholder for HV1/%s\n" % rel.replace("\\", "/")).encode()[:size]
            with open(target, "wb") as f:
                f.write(header)
                # The rest is a hole: cheap to make, and the image holds zeros.
                f.truncate(size)


def main():
    args = sys.argv[1:]
    if len(args) < 2:
        sys.exit(__doc__)
    manifest, image = args[0], args[1]
    tree = None
    if "--tree" in args:
        tree = args[args.index("--tree") + 1]
    scratch = None
    if tree is None:
        scratch = tempfile.mkdtemp(prefix="hv-disc-")
        tree = scratch
    try:
        build_tree(manifest, tree)
        if "--extra" in args:
            with open(os.path.join(tree, "HV1", "README.TXT"), "w") as f:
                f.write("Not in the manifest: copied all the same.\n")
        subprocess.run(["xorriso", "-as", "mkisofs", "-quiet", "-V", "HALVORN_1",
                        "-o", image, tree], check=True)
    finally:
        if scratch:
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
