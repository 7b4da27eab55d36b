#!/usr/bin/env python3
"""Measures how many faults the test suite catches: changes one token on one
code line of the plug-in's sources at a time (a comparison or logical
operator, an arithmetic operator, an integer or float constant, a + 1 / - 1),
rebuilds, runs the suite and counts the mutant killed when any test fails.
The source is restored after each mutant, also when the run is interrupted.

    scripts/mutate.py --seed 1 --count 300            # build-mutate/, all folders
    scripts/mutate.py --seed 1 --count 20 --folders sky
    scripts/mutate.py --list                            # the candidate sites only
    scripts/mutate.py --seed 1 --count 300 --start 243  # resume a run stopped after 242
    scripts/mutate.py --seed 1 --count 300 --recheck run.log  # only that run's survivors again

A mutant that does not compile is not counted. The score is killed / (killed
+ survived); each survivor is printed with its file, line and change so it
can be judged equivalent or given a test.
"""
import argparse
import os
import random
import re
import subprocess
import sys
import time

FOLDERS = ["plugin", "config", "environment", "sky", "clouds"]

# (pattern, replacement) pairs; each pattern is tried at every place it
# matches on a line, so a line with several operators gives several sites.
OPERATORS = [
    (r"(?<![<>=!])==(?!=)", "!="), (r"!=", "=="),
    # Comparisons stand between blanks in this code's layout; angle
    # brackets of templates and casts do not, so they are left alone.
    (r"(?<=\s)<=(?=\s)", "<"), (r"(?<=\s)>=(?=\s)", ">"),
    (r"(?<=\s)<(?=\s)", "<="), (r"(?<=\s)>(?=\s)", ">="),
    (r"&&", "||"), (r"\|\|", "&&"),
    (r"(?<=\s)\+(?=\s)", "-"), (r"(?<=\s)-(?=\s)", "+"),
    (r"(?<=\s)\*(?=\s)", "/"), (r"(?<=\s)/(?=\s)", "*"),
    (r"\+ 1\b", "- 1"), (r"- 1\b", "+ 1"),
]
INTEGER = re.compile(r"(?<![\w.])(\d+)(?![\w.])")
FLOAT = re.compile(r"(?<![\w.])(\d+\.\d*(?:[eE][-+]?\d+)?)f?(?![\w.])")
SKIP_LINE = re.compile(r"^\s*(#|//|\*|/\*|static_assert|template|namespace|case\b|\}|\{)")


def strip_comment(line):
    cut = line.find("//")
    return line if cut < 0 else line[:cut]


def sites_in(path):
    sites = []
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    in_block = False
    for number, line in enumerate(lines, 1):
        text = line
        if in_block:
            if "*/" not in text:
                continue
            in_block = False
            text = text.split("*/", 1)[1]
        if "/*" in text and "*/" not in text:
            in_block = True
            text = text.split("/*", 1)[0]
        if SKIP_LINE.match(text) or "#include" in text:
            continue
        code = strip_comment(text)
        # Strings are left alone: a changed message is not a fault.
        code = re.sub(r'"(\\.|[^"\\])*"', lambda m: " " * len(m.group(0)), code)
        for pattern, replacement in OPERATORS:
            for m in re.finditer(pattern, code):
                sites.append((path, number, m.start(), m.end(), replacement))
        for m in FLOAT.finditer(code):
            value = float(m.group(1))
            new = repr(value + 1.0) if value == 0 else repr(value * 1.5)
            sites.append((path, number, m.start(1), m.end(1), new))
        for m in INTEGER.finditer(code):
            if FLOAT.match(code, m.start()):
                continue
            value = int(m.group(1))
            sites.append((path, number, m.start(1), m.end(1), str(value + 1)))
    return sites


def run(command, cwd, timeout):
    try:
        return subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return -1


def main():
    parser = argparse.ArgumentParser(description="Mutation testing of the plug-in's sources.")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--folders", nargs="*", default=FOLDERS)
    parser.add_argument("--build", default="build-mutate")
    parser.add_argument("--list", action="store_true", help="print the candidate sites and stop")
    parser.add_argument("--timeout", type=int, default=600, help="seconds for one suite run")
    parser.add_argument("--test-timeout", type=int, default=60,
                        help="seconds for one test; a mutant that makes a test hang is caught by it")
    parser.add_argument("--recheck", metavar="LOG",
                        help="run again only the mutants an earlier run's LOG lists as SURVIVED (after tests were added); "
                             "the score counts the ones it killed as well")
    parser.add_argument("--start", type=int, default=1,
                        help="resume at this mutant of the seed's sample (the sample stays the same)")
    args = parser.parse_args()
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    os.chdir(root)
    sources = sorted(os.path.join(folder, name) for folder in args.folders
                     for name in os.listdir(folder) if name.endswith(".cpp") or name.endswith(".h"))
    sites = [s for path in sources for s in sites_in(path)]
    if args.list:
        for path, number, start, end, replacement in sites:
            print("%s:%d:%d -> %s" % (path, number, start + 1, replacement))
        print("%d sites" % len(sites))
        return 0
    chosen = random.Random(args.seed).sample(sites, min(args.count, len(sites)))

    if not os.path.exists(os.path.join(args.build, "build.ninja")):
        subprocess.run(["cmake", "-S", ".", "-B", args.build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo"],
                       check=True, stdout=subprocess.DEVNULL)
    build = ["cmake", "--build", args.build, "-j%d" % os.cpu_count()]
    # The suite as ctest runs it, stopping at the first failure.
    suite = ["ctest", "--test-dir", args.build, "-j%d" % os.cpu_count(), "--stop-on-failure", "--timeout", str(args.test_timeout)]
    if run(build, root, None) != 0 or run(suite, root, args.timeout) != 0:
        print("the unmutated build or suite fails; nothing measured")
        return 2

    killed, survived, broken = 0, [], 0
    recheck = None
    if args.recheck:
        # The verdicts of the earlier run stand for every mutant but its
        # survivors; the same seed over unchanged sources draws the same sample.
        recheck = set()
        with open(args.recheck, encoding="utf-8") as f:
            for line in f:
                m = re.match(r"\[(\d+)/\d+\] (killed|SURVIVED|does not compile)", line)
                if not m:
                    continue
                if m.group(2) == "SURVIVED":
                    recheck.add(int(m.group(1)))
                elif m.group(2) == "killed":
                    killed += 1
                else:
                    broken += 1
    start_time = time.time()
    for index, (path, number, start, end, replacement) in enumerate(chosen, 1):
        if index < args.start or (recheck is not None and index not in recheck):
            continue
        with open(path, encoding="utf-8") as f:
            original = f.read()
        lines = original.split("\n")
        line = lines[number - 1]
        mutated_line = line[:start] + replacement + line[end:]
        lines[number - 1] = mutated_line
        change = "%s:%d: %s  ->  %s" % (path, number, line.strip(), mutated_line.strip())
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))
            if run(build, root, None) != 0:
                broken += 1
                verdict = "does not compile"
            elif run(suite, root, args.timeout) != 0:
                killed += 1
                verdict = "killed"
            else:
                survived.append(change)
                verdict = "SURVIVED"
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        print("[%d/%d] %-16s %s" % (index, len(chosen), verdict, change), flush=True)
    run(build, root, None)
    counted = killed + len(survived)
    print()
    print("seed %d, %d mutants: %d killed, %d survived, %d did not compile (%.0f min)" %
          (args.seed, len(chosen), killed, len(survived), broken, (time.time() - start_time) / 60))
    print("mutation score: %.1f %%" % (100.0 * killed / max(1, counted)))
    for change in survived:
        print("  survived: " + change)
    return 0


if __name__ == "__main__":
    sys.exit(main())
