#!/usr/bin/env python3
"""Measures what the tests catch: applies seeded mutations to launcher/,
disc/ and ships/ one at a time (a comparison flipped, a constant moved by
one, a boolean return inverted, && and || swapped, a call dropped), rebuilds
the Linux build, runs its tests, and prints the share of mutants killed and
the survivors. Not a test: it only measures.

usage: scripts/mutate.py [COUNT [SEED]]     (defaults: 40 mutants, seed 1)

It works on a copy of this checkout under build/mutation (the working tree is
never touched), so it can also be run from an older checkout to compare.
A mutant that does not compile is left out of the share and listed apart."""
import os
import random
import re
import shutil
import subprocess
import sys
import time

FOLDERS = ("launcher", "disc", "ships")
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "mutation")
SRC = os.path.join(WORK, "src")
BUILD = os.path.join(WORK, "build")
# Tests that only check the build or run for minutes add nothing per mutant.
EXCLUDE = "valgrind|WindowsResources|disc_listing"

FLIPS = {"==": "!=", "!=": "==", "<=": ">", ">=": "<", "<": ">=", ">": "<="}


def sites(path, text):
    """Every mutation one line of `text` offers: (line, column, old, new, kind)."""
    found = []
    for number, line in enumerate(text.split("\n")):
        code = line.split("//")[0]
        stripped = code.strip()
        if not stripped or stripped.startswith("#") or stripped.startswith("static_assert"):
            continue
        for m in re.finditer(r"(?<![<>=!&|+\-*/%^])(==|!=|<=|>=)(?![=])", code):
            found.append((number, m.start(), m.group(1), FLIPS[m.group(1)], "comparison"))
        for m in re.finditer(r"(?<=[\w\)\] ])\s(<|>)\s(?=[\w\(!-])", code):
            op = m.group(1)
            found.append((number, m.start(1), op, FLIPS[op], "comparison"))
        for m in re.finditer(r"&&|\|\|", code):
            found.append((number, m.start(), m.group(0), "||" if m.group(0) == "&&" else "&&", "logic"))
        for m in re.finditer(r"\breturn (true|false)\b", code):
            new = "return false" if m.group(1) == "true" else "return true"
            found.append((number, m.start(), m.group(0), new, "return"))
        for m in re.finditer(r"(?<![\w.'\[])(\d+)(u?)\b(?![.'x])", code):
            if "[" in code[: m.start()] and "]" in code[m.end():] and code.strip().startswith(("WCHAR", "char", "uint")):
                continue  # buffer sizes: a mutant would only move a bound nothing reaches
            value = int(m.group(1))
            found.append((number, m.start(), m.group(0), str(value + 1) + m.group(2), "constant"))
        if re.match(r"^\s*[A-Za-z_][\w:]*\(.*\);\s*$", code) and not stripped.startswith("return"):
            found.append((number, len(code) - len(code.lstrip()), stripped, "(void)0;", "call dropped"))
    return found


def apply(text, site):
    lines = text.split("\n")
    number, column, old, new, _ = site
    line = lines[number]
    assert line[column:column + len(old)] == old, (line, column, old)
    lines[number] = line[:column] + new + line[column + len(old):]
    return "\n".join(lines)


def run(command, cwd, timeout):
    try:
        return subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return -1


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 40
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else 1
    if os.path.exists(SRC):
        shutil.rmtree(SRC)
    os.makedirs(WORK, exist_ok=True)
    files = subprocess.run(["git", "ls-files"], cwd=ROOT, capture_output=True, text=True,
                           check=True).stdout.split()
    # Copied with fresh times, so nothing built from an earlier (perhaps
    # interrupted, still mutated) copy survives into this run.
    for f in files:
        os.makedirs(os.path.dirname(os.path.join(SRC, f)) or SRC, exist_ok=True)
        shutil.copy(os.path.join(ROOT, f), os.path.join(SRC, f))
    candidates = []
    for f in sorted(files):
        if f.split("/")[0] in FOLDERS and f.endswith(".cpp") and "manifest" not in f:
            text = open(os.path.join(SRC, f)).read()
            candidates += [(f, s) for s in sites(f, text)]
    random.Random(seed).shuffle(candidates)
    chosen = candidates[:count]
    print("%d mutation sites in %s; taking %d with seed %d" % (len(candidates), "/, ".join(FOLDERS) + "/", len(chosen), seed))
    if run(["cmake", "-S", SRC, "-B", BUILD, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], SRC, 600) != 0 or \
            run(["cmake", "--build", BUILD, "-j2"], SRC, 1800) != 0:
        sys.exit("the unmutated build failed")
    if run(["ctest", "--test-dir", BUILD, "-j2", "-E", EXCLUDE], SRC, 1800) != 0:
        sys.exit("the unmutated tests fail: nothing to measure")
    killed, survived, invalid = [], [], []
    start = time.time()
    for f, site in chosen:
        path = os.path.join(SRC, f)
        original = open(path).read()
        open(path, "w").write(apply(original, site))
        label = "%s:%d %s: %s -> %s" % (f, site[0] + 1, site[4], site[2], site[3])
        if run(["cmake", "--build", BUILD, "-j2"], SRC, 900) != 0:
            invalid.append(label)
        elif run(["ctest", "--test-dir", BUILD, "-j2", "-E", EXCLUDE, "--stop-on-failure",
                  "--timeout", "120"], SRC, 1800) != 0:
            killed.append(label)
        else:
            survived.append(label)
        open(path, "w").write(original)
        os.utime(path)
    run(["cmake", "--build", BUILD, "-j2"], SRC, 900)
    valid = len(killed) + len(survived)
    print("killed %d of %d mutants (%.0f%%); %d did not compile; %.0f s" % (
        len(killed), valid, 100.0 * len(killed) / max(valid, 1), len(invalid), time.time() - start))
    for label in survived:
        print("survived: " + label)
    for label in invalid:
        print("did not compile: " + label)


if __name__ == "__main__":
    main()
