#!/usr/bin/env python3
# Times velkar against GNU sort (LC_ALL=C) on a text several times larger than an
# address-space limit both run under (prlimit --as), file to file and from standard
# input to a file, in alternating pairs: each repetition runs both back to back,
# the first of the pair alternating. Prints a markdown table of median seconds,
# the ratio of the medians, peak resident memory, and the bytes each wrote and read
# beyond the input and the output (its temporary files), with the load average
# before and after. Outputs are checked against GNU sort's (velkar's CR LF taken
# as LF). Python 3 standard library only; bench/peak measures one run.
#   bench/beyond_memory.py [--copies 5] [--limit 256M] [--repeat 3]
# The text is the 4M-line words corpus, repeated --copies times with the copy's
# number after each line (5 copies: about 1 GiB, 20M lines).
import argparse
import os
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import corpus  # noqa: E402


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def make_text(data, copies):
    """The words corpus repeated; returns its path."""
    os.makedirs(data, exist_ok=True)
    base = corpus.ensure(data, "words", 4_000_000)
    path = os.path.join(data, "words-4000000-x%d.txt" % copies)
    if not os.path.exists(path):
        with open(path + ".part", "wb") as out:
            for k in range(copies):
                subprocess.run(["awk", "{ print $0 %d }" % k], stdin=open(base, "rb"),
                               stdout=out, check=True)
        os.rename(path + ".part", path)
    return path


def run_measured(peak, command, stdin_path, env, stats_file):
    """One run under bench/peak; returns (seconds, peak KiB, rchar, wchar)."""
    stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
    start = time.monotonic()
    result = subprocess.run([peak, stats_file] + command, stdin=stdin, env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seconds = time.monotonic() - start
    if result.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (result.returncode, " ".join(command),
                                          result.stderr.decode(errors="replace")))
    with open(stats_file) as f:
        fields = [int(x) for x in f.read().split()]
    return seconds, fields[0], fields[1], fields[2]


def same_text(velkar_out, gnu_out):
    """velkar's file output, CR LF taken as LF, against GNU sort's."""
    strip = subprocess.Popen(["tr", "-d", "\\r"], stdin=open(velkar_out, "rb"),
                             stdout=subprocess.PIPE)
    cmp = subprocess.run(["cmp", "-s", "-", gnu_out], stdin=strip.stdout)
    strip.wait()
    return cmp.returncode == 0


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    p = argparse.ArgumentParser(description="velkar against GNU sort beyond memory")
    p.add_argument("--build", default=os.path.join(root, "build"))
    p.add_argument("--data", default=os.path.join(root, "build-bench", "beyond"))
    p.add_argument("--copies", type=int, default=5, help="copies of the 4M-line words corpus")
    p.add_argument("--limit", default="256M", help="the address-space limit of both sorters")
    p.add_argument("--repeat", type=int, default=3)
    p.add_argument("--threads", help="VELKAR_THREADS for velkar (default: unset)")
    args = p.parse_args(argv)

    velkar = os.path.join(args.build, "bin", "velkar")
    peak = os.path.join(args.build, "bench", "peak")
    for program in (velkar, peak):
        if not os.access(program, os.X_OK):
            sys.exit("missing %s: scripts/build.sh build -DVELKAR_BENCH=ON" % program)
    text = make_text(args.data, args.copies)
    size = os.path.getsize(text)
    env = dict(os.environ, LC_ALL="C", QT_QPA_PLATFORM="offscreen")
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    if args.threads:
        env["VELKAR_THREADS"] = args.threads
    limit = ["prlimit", "--as=%d" % corpus_size(args.limit), "--"]
    out_v = os.path.join(args.data, "velkar.out")
    out_g = os.path.join(args.data, "gnu.out")
    stats = os.path.join(args.data, "stats")
    cases = {
        "file to file": (
            lambda: (limit + [velkar, "-a+", "-f", text, "-o", out_v], None),
            lambda: (limit + ["sort", "-o", out_g, text], None)),
        "stdin to file": (
            lambda: (limit + [velkar, "-a+", "-o", out_v], text),
            lambda: (limit + ["sort", "-o", out_g], text)),
    }
    print("Input: %s, %d bytes, %d copies of the 4M words corpus; limit --as=%s; "
          "repeat %d" % (os.path.basename(text), size, args.copies, args.limit, args.repeat))
    print()
    print("| case | velkar s | GNU s | ratio | velkar peak MiB | GNU peak MiB "
          "| velkar temp written | GNU temp written | load before | load after |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for name, (velkar_cmd, gnu_cmd) in cases.items():
        before = load_average()
        times = {"v": [], "g": []}
        peaks = {"v": [], "g": []}
        temp = {"v": [], "g": []}
        for rep in range(args.repeat):
            order = ("v", "g") if rep % 2 == 0 else ("g", "v")
            for who in order:
                command, stdin_path = velkar_cmd() if who == "v" else gnu_cmd()
                seconds, kib, rchar, wchar = run_measured(peak, command, stdin_path, env, stats)
                out = out_v if who == "v" else out_g
                times[who].append(seconds)
                peaks[who].append(kib)
                # What went to write calls beyond the output: the temporary runs.
                temp[who].append(wchar - os.path.getsize(out))
        if not same_text(out_v, out_g):
            sys.exit("%s: velkar's output differs from GNU sort's" % name)
        after = load_average()
        mv = statistics.median(times["v"])
        mg = statistics.median(times["g"])
        print("| %s | %.2f | %.2f | %.2f | %.0f | %.0f | %.2f× input | %.2f× input | %s | %s |" % (
            name, mv, mg, mv / mg, max(peaks["v"]) / 1024, max(peaks["g"]) / 1024,
            statistics.median(temp["v"]) / size, statistics.median(temp["g"]) / size,
            before, after))
    return 0


def corpus_size(text):
    units = {"K": 1 << 10, "M": 1 << 20, "G": 1 << 30}
    if text[-1].upper() in units:
        return int(text[:-1]) * units[text[-1].upper()]
    return int(text)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
