#!/usr/bin/env python3
"""Prints the share of the C++ lines that are tests: non-blank lines that are
not only comment, in the files git tracks under tests/ against all the other
*.cpp and *.h files of the project (fixture data files are not code).

    scripts/test-share.py            # the share and the counts per folder
    scripts/test-share.py --max 33   # also fails when the share is above 33 %
"""
import argparse
import collections
import os
import subprocess
import sys


def code_lines(text):
    """Non-blank lines with something besides comments, with // and /* */
    comments removed (string literals are respected)."""
    count = 0
    in_block = False
    for line in text.splitlines():
        out = []
        i = 0
        in_string = None
        while i < len(line):
            c = line[i]
            if in_block:
                if line.startswith("*/", i):
                    in_block = False
                    i += 2
                    continue
                i += 1
                continue
            if in_string:
                out.append(c)
                if c == "\\":
                    out.append(line[i + 1:i + 2])
                    i += 2
                    continue
                if c == in_string:
                    in_string = None
                i += 1
                continue
            if line.startswith("//", i):
                break
            if line.startswith("/*", i):
                in_block = True
                i += 2
                continue
            if c in "\"'":
                in_string = c
            out.append(c)
            i += 1
        if "".join(out).strip():
            count += 1
    return count


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--max", type=float, help="fail when the test share is above this percentage")
    args = parser.parse_args()
    root = subprocess.run(["git", "rev-parse", "--show-toplevel"], capture_output=True, text=True,
                          check=True).stdout.strip()
    files = subprocess.run(["git", "ls-files", "*.cpp", "*.h"], cwd=root, capture_output=True, text=True,
                           check=True).stdout.split()
    per_folder = collections.Counter()
    tests = other = 0
    for name in files:
        path = os.path.join(root, name)
        if not os.path.exists(path):
            continue
        with open(path, encoding="utf-8", errors="replace") as f:
            n = code_lines(f.read())
        folder = name.split("/")[0] if "/" in name else "."
        per_folder[folder] += n
        if name.startswith("tests/"):
            tests += n
        else:
            other += n
    share = 100.0 * tests / max(1, tests + other)
    for folder, n in sorted(per_folder.items()):
        print("  %-12s %6d" % (folder, n))
    print("test share: %.1f %% (%d test lines of %d C++ lines)" % (share, tests, tests + other))
    if args.max is not None and share > args.max:
        print("test share above %.1f %%" % args.max)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
