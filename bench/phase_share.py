#!/usr/bin/env python3
# The parallel share of a run, phase by phase: bench/phases (built with
# -DVELKAR_BENCH=ON) on one core (taskset -c 0) and on every core, in alternating
# pairs, medians of each cell. For each phase it prints the wall seconds on one and
# on all cores, the speed-up, and how the time on all cores divides: the
# platform's file calls (input reads, writes, reads of the runs, the flush; each
# made by one thread) and the rest; the load average before and after. Python 3 standard library only.
#   bench/phase_share.py [--repeat 5] [--phases build/bench/phases] [--limit 256M]
#                        -- velkar's words (e.g. -a+ -f big.txt -o out.txt)
import argparse
import os
import statistics
import subprocess
import sys


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def one_run(phases, words, cores, limit):
    command = ["taskset", "-c", cores, phases] + words
    if limit:
        command = ["prlimit", "--as=%d" % limit] + command
    out = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if out.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(command), out.stderr))
    rows = {}
    for line in out.stdout.splitlines():
        cells = [c.strip() for c in line.strip("|").split("|")]
        if len(cells) == 7 and cells[0] not in ("phase", "---"):
            rows[cells[0]] = [float(c) if c else 0.0 for c in cells[1:]]
    return rows


def size(text):
    units = {"K": 1 << 10, "M": 1 << 20, "G": 1 << 30}
    return int(text[:-1]) * units[text[-1]] if text[-1] in units else int(text)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--phases", default="build/bench/phases")
    parser.add_argument("--limit", default="", help="address-space limit, e.g. 256M")
    parser.add_argument("words", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    words = args.words[1:] if args.words[:1] == ["--"] else args.words
    every = "0-%d" % (len(os.sched_getaffinity(0)) - 1)
    limit = size(args.limit) if args.limit else 0
    print("load before: %s" % load_average())
    runs = {"0": [], every: []}
    for i in range(args.repeat):
        order = ["0", every] if i % 2 == 0 else [every, "0"]
        for cores in order:
            runs[cores].append(one_run(args.phases, words, cores, limit))
    print("load after: %s" % load_average())

    def median(cores, phase, column):
        return statistics.median(r.get(phase, [0.0] * 6)[column] for r in runs[cores])

    phases = [p for p in runs[every][0] if p != "whole run"] + ["whole run"]
    print("\n| phase | one core s | %d cores s | speed-up | input reads | writes | run reads"
          " | flush | rest |" % len(os.sched_getaffinity(0)))
    print("|---|---|---|---|---|---|---|---|---|")
    for phase in phases:
        one, all_ = median("0", phase, 0), median(every, phase, 0)
        cells = "".join(" %.3f |" % median(every, phase, c) for c in range(1, 6))
        if phase == "whole run":
            cells = " |" * 5
        print("| %s | %.3f | %.3f | %.2f |%s" % (phase, one, all_, one / all_ if all_ else 0,
                                                cells))


if __name__ == "__main__":
    main()
