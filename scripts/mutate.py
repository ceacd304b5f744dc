#!/usr/bin/env python3
"""Measures what the tests catch: applies seeded mutations to the product
(launcher/, disc/, ships/, tools/) one at a time (a comparison flipped, a
constant moved by one, a boolean return inverted, && and || swapped, a call
dropped), rebuilds the Linux build, runs its tests and prints which mutants
they kill. Not a test: it only measures.

usage: scripts/mutate.py [COUNT [SEED]]
           this checkout's product and tests (defaults: 40 mutants, seed 1)
       scripts/mutate.py compare PRODUCT TESTS... [--count N] [--seed S]
           one set of mutants, drawn from the product at commit PRODUCT, run
           against the tests of each commit TESTS (tests/ and the scripts only
           the tests use), all on PRODUCT's product code; prints each mutant's
           outcome under every suite and each suite's kill count
       --again TEXT   measures again the mutants whose label holds TEXT
       --only TEXT    measures only the mutants whose label holds TEXT (repeatable)

Everything happens in copies under build/mutation (the working tree is never
touched). A mutant that does not compile is listed apart. Outcomes are kept in
build/mutation/outcomes.json, keyed by the commits and the mutant, so a suite
already measured is not run again."""
import io
import json
import os
import random
import re
import shutil
import subprocess
import sys
import tarfile
import time

FOLDERS = ("launcher", "disc", "ships", "tools")
TEST_PATHS = ("tests", "scripts/make-test-images.sh", "scripts/compare-convert.sh")
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "mutation")
OUTCOMES = os.path.join(WORK, "outcomes.json")
# Tests that only check the build or run for minutes add nothing per mutant.
EXCLUDE = "valgrind|WindowsResources|disc_listing"

FLIPS = {"==": "!=", "!=": "==", "<=": ">", ">=": "<", "<": ">=", ">": "<="}


def sites(text):
    """Every mutation `text` offers: (line, column, old, new, kind)."""
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


def label(f, site):
    return "%s:%d %s: %s -> %s" % (f, site[0] + 1, site[4], site[2], site[3])


def run(command, cwd, timeout):
    try:
        return subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return -1


def failing_tests(build):
    """What ctest's last run failed (or stopped for taking too long)."""
    try:
        return ", ".join(open(os.path.join(build, "Testing", "Temporary", "LastTestsFailed.log"))
                         .read().split()) or "?"
    except OSError:
        return "the run itself timed out"


def git(*args):
    return subprocess.run(["git"] + list(args), cwd=ROOT, capture_output=True, check=True).stdout


def unpack(commit, paths, into):
    """The files of `paths` at `commit`, written under `into` with fresh times
    (so nothing built from an earlier, perhaps still mutated, copy survives)."""
    with tarfile.open(fileobj=io.BytesIO(git("archive", commit, *paths))) as archive:
        for member in archive.getmembers():
            if member.isfile():
                target = os.path.join(into, member.name)
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "wb") as out:
                    out.write(archive.extractfile(member).read())
                os.chmod(target, member.mode)


def draw(src, count, seed):
    candidates = []
    for root, _, names in os.walk(src):
        for name in names:
            f = os.path.relpath(os.path.join(root, name), src)
            if f.split("/")[0] in FOLDERS and f.endswith(".cpp") and "manifest" not in f:
                candidates += [(f, s) for s in sites(open(os.path.join(src, f)).read())]
    candidates.sort()
    random.Random(seed).shuffle(candidates)
    return len(candidates), candidates[:count]


def measure(src, build, chosen, known, key, keep=True):
    """Each mutant's outcome on the tree `src`: killed, survived or invalid."""
    pending = [(f, s) for f, s in chosen if key + label(f, s) not in known]
    if not pending:
        return
    if run(["cmake", "-S", src, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], src, 600) != 0 or \
            run(["cmake", "--build", build, "-j2"], src, 1800) != 0:
        sys.exit("the unmutated build failed in " + src)
    if run(["ctest", "--test-dir", build, "-j2", "-E", EXCLUDE], src, 1800) != 0:
        sys.exit("the unmutated tests fail in %s: nothing to measure" % src)
    for f, site in pending:
        path = os.path.join(src, f)
        original = open(path).read()
        open(path, "w").write(apply(original, site))
        if run(["cmake", "--build", build, "-j2"], src, 900) != 0:
            outcome = "invalid"
        elif run(["ctest", "--test-dir", build, "-j2", "-E", EXCLUDE, "--stop-on-failure",
                  "--timeout", "300"], src, 1800) != 0:
            outcome = "killed by " + failing_tests(build)
        else:
            outcome = "survived"
        open(path, "w").write(original)
        os.utime(path)
        print("  %-8s %s" % (outcome, label(f, site)), flush=True)
        outcome = outcome.split(" by ")[0]
        known[key + label(f, site)] = outcome
        if keep:
            with open(OUTCOMES, "w") as out:
                json.dump(known, out, indent=0, sort_keys=True)


def report(names, chosen, results):
    print("\n" + "%-10s" * len(names) % tuple(n[:9] for n in names) + "mutant")
    for f, site in chosen:
        print("%-10s" * len(names) % tuple(r[label(f, site)] for r in results) + label(f, site))
    for name, r in zip(names, results):
        valid = [o for o in r.values() if o != "invalid"]
        print("tests of %s: killed %d of %d mutants (%d did not compile)" % (
            name, valid.count("killed"), len(valid), len(r) - len(valid)))


def main():
    args = sys.argv[1:]
    options = {"--count": 60, "--seed": 1}
    for name in list(options):
        if name in args:
            i = args.index(name)
            options[name] = int(args[i + 1])
            del args[i:i + 2]
    os.makedirs(WORK, exist_ok=True)
    known = json.load(open(OUTCOMES)) if os.path.exists(OUTCOMES) else {}
    while "--again" in args:
        i = args.index("--again")
        known = {k: v for k, v in known.items() if args[i + 1] not in k}
        del args[i:i + 2]
    only = []
    while "--only" in args:
        i = args.index("--only")
        only.append(args[i + 1])
        del args[i:i + 2]
    start = time.time()
    if args and args[0] == "compare" and len(args) >= 3:
        product = git("rev-parse", args[1]).decode().strip()
        suites = [git("rev-parse", a).decode().strip() for a in args[2:]]
        results = []
        for i, tests in enumerate(suites):
            src = os.path.join(WORK, "suite%d" % i)
            shutil.rmtree(src, ignore_errors=True)
            unpack(product, ["."], src)
            shutil.rmtree(os.path.join(src, "tests"))  # the other test paths are files, overwritten
            unpack(tests, list(TEST_PATHS), src)
            total, chosen = draw(src, options["--count"], options["--seed"])
            if only:
                chosen = [(f, s) for f, s in chosen if any(t in label(f, s) for t in only)]
            if i == 0:
                print("%d mutation sites in %s at %s; taking %d with seed %d" % (
                    total, "/, ".join(FOLDERS) + "/", product[:10], len(chosen), options["--seed"]))
            print("tests of %s:" % tests[:10], flush=True)
            key = "%s %s " % (product, tests)
            measure(src, src + "-build", chosen, known, key)
            results.append({label(f, s): known[key + label(f, s)] for f, s in chosen})
        report([s[:9] for s in suites], chosen, results)
    elif len(args) <= 2 and all(a.isdigit() for a in args):
        src = os.path.join(WORK, "src")
        shutil.rmtree(src, ignore_errors=True)
        files = git("ls-files").decode().split()
        for f in files:
            os.makedirs(os.path.dirname(os.path.join(src, f)) or src, exist_ok=True)
            shutil.copy(os.path.join(ROOT, f), os.path.join(src, f))
        total, chosen = draw(src, int(args[0]) if args else 40, int(args[1]) if len(args) > 1 else 1)
        print("%d mutation sites; taking %d" % (total, len(chosen)), flush=True)
        known = {}
        measure(src, os.path.join(WORK, "build"), chosen, known, "", keep=False)
        report(["checkout"], chosen, [known])
    else:
        sys.exit(__doc__)
    print("%.0f s" % (time.time() - start))


if __name__ == "__main__":
    main()
