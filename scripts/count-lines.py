#!/usr/bin/env python3
"""Counts non-blank, non-comment lines of the product and of its tests, and
prints their ratios. Not a test: it only measures.

  product     C++ under launcher/, disc/, ships/, platform/, tools/
  tests       everything under tests/ (C++, shell, Python), and the scripts
              only the tests use (test images, comparisons with other programs)
  test cases  the tests without their support: tests/support, tests/fixtures,
              the GUI driver (tests/gui/lib.sh) and those scripts left out

usage: scripts/count-lines.py"""
import os
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT = ("launcher/", "disc/", "ships/", "platform/", "tools/")
TEST_SCRIPTS = ("scripts/make-test-images.sh", "scripts/compare-convert.sh")
SUPPORT = ("tests/support/", "tests/fixtures/", "tests/gui/lib.sh") + TEST_SCRIPTS


def lines(path):
    """Lines that are neither blank nor comments (// and /* */ in C++, # elsewhere)."""
    cpp = path.endswith((".cpp", ".h", ".c"))
    count, in_block = 0, False
    for line in open(os.path.join(ROOT, path), errors="replace"):
        text = line.strip()
        if cpp:
            if in_block:
                in_block = "*/" not in text
                continue
            if text.startswith("/*"):
                in_block = "*/" not in text
                continue
            if not text or text.startswith("//"):
                continue
        elif not text or text.startswith("#"):
            continue
        count += 1
    return count


def main():
    files = subprocess.run(["git", "ls-files"], cwd=ROOT, capture_output=True, text=True,
                           check=True).stdout.split()
    code = (".cpp", ".h", ".c", ".sh", ".py")
    product = sum(lines(f) for f in files if f.startswith(PRODUCT) and f.endswith((".cpp", ".h")))
    tests = [f for f in files if (f.startswith("tests/") and f.endswith(code)) or f in TEST_SCRIPTS]
    all_tests = sum(lines(f) for f in tests)
    cases = sum(lines(f) for f in tests if not f.startswith(SUPPORT))
    print("product %d, tests %d (%.0f%%), test cases %d (%.0f%%)" % (
        product, all_tests, 100.0 * all_tests / product, cases, 100.0 * cases / product))


if __name__ == "__main__":
    main()
