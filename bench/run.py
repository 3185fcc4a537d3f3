#!/usr/bin/env python3
# Times velkar in console mode, file to file, in pairs: against GNU sort with its
# default threads, against GNU sort --parallel=1, and against the floor program
# (bench/floor.cpp: read, LF -> CR LF, write, no sort) both plain and with velkar's
# fsync and rename; optionally against busybox sort and the Rust coreutils sort.
# Each repetition runs every pair once, the two sides back to back in alternating
# order, so a change of load hits both; a ratio is the median of the per-repetition
# ratios. Outputs are checked against velkar's first. Peak memory comes from one
# more run of each sorter under bench/peak (wait4's rusage, taken by a small
# process: a child of this one would report this process's size). The tables are markdown, with the load average before and after
# each. Python 3 standard library only.
# Usage: bench/run.py --help
import argparse
import datetime
import os
import platform
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import corpus  # noqa: E402

TAB = "\t"
QUIET_LOAD = 0.5

# --- the modes ------------------------------------------------------------------
# name: (velkar words, GNU-style sort words, key for the tie check (None: the whole
# line is the key, outputs must match line for line), corpora it applies to, the
# key and direction of its order, for the presorted and reverse-sorted inputs).
ALL = corpus.KINDS
COLUMN_KINDS = ("words", "csv", "fixed", "sjis")
FIELD_KINDS = ("csv", "sjis")
MODES = {
    "line": ([], [], None, ALL, ("bytes", "asc")),
    "-i": (["-i"], ["-f"], corpus.KEYS["folded"], ALL, ("folded", "asc")),
    "-u": (["-u"], ["-u"], None, ALL, ("bytes", "asc")),
    "-r": (["-r"], ["-r"], None, ALL, ("bytes", "desc")),
    "column": (["-11"], ["-t", TAB, "-k1.11"], corpus.KEYS["column"], COLUMN_KINDS,
               ("column", "asc")),
    "field": (["-3f"], ["-t", ",", "-k3,3"], corpus.KEYS["field"], FIELD_KINDS,
              ("field", "asc")),
    "field-num": (["-3nf"], ["-t", ",", "-k3,3n"], corpus.KEYS["field-num"], FIELD_KINDS,
                  ("field-num", "asc")),
    "field-num-r": (["-r", "-3nf"], ["-t", ",", "-k3,3nr"], corpus.KEYS["field-num"],
                    FIELD_KINDS, ("field-num", "desc")),
}
# Input orders: as generated, sorted under the mode's key and direction, the reverse.
ORDERS = ("random", "sorted", "reversed")
DROPS_LINES = ("-u",)

# Every tool but velkar runs paired with velkar. The sorters' outputs are compared
# with velkar's; the floor's must have the size of velkar's.
SORTERS = ("gnu", "gnu-p1", "busybox", "uutils")
FLOORS = ("floor", "floor-sync")
PEAK = None  # bench/peak, beside the floor program
DEFAULT_PAIRS = ("gnu", "gnu-p1", "floor", "floor-sync")
OTHERS = ("busybox", "uutils")


def tool_commands(args):
    """name -> function(mode, input, output) giving the command line."""
    gnu = ["sort"] + (["-S", args.gnu_memory] if args.gnu_memory else [])
    return {
        "velkar": lambda m, i, o: [args.velkar, "-a+"] + m[0] + ["-f", i, "-o", o],
        "gnu": lambda m, i, o: gnu + m[1] + ["-o", o, i],
        "gnu-p1": lambda m, i, o: gnu + ["--parallel=1"] + m[1] + ["-o", o, i],
        "floor": lambda m, i, o: [args.floor, i, o],
        "floor-sync": lambda m, i, o: [args.floor, "--sync", i, o],
        "busybox": lambda m, i, o: ["busybox", "sort"] + m[1] + ["-o", o, i],
        "uutils": lambda m, i, o: ["coreutils", "sort"] + m[1] + ["-o", o, i],
    }


def environment():
    """Console mode for velkar (no display, the offscreen platform), the C locale
    for everything."""
    env = dict(os.environ)
    env["LC_ALL"] = "C"
    env["QT_QPA_PLATFORM"] = "offscreen"
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def run_once(command, env, error_file):
    """Runs one command; returns (wall seconds, peak resident KiB, exit status,
    first line of its error output). The time covers the start of the process to
    its reaping; the peak is the child's ru_maxrss from wait4, which includes this
    process's own size (peak_kib measures a sorter's memory)."""
    with open(error_file, "wb") as err:
        start = time.perf_counter()
        proc = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=err)
        _, status, usage = os.wait4(proc.pid, 0)
        seconds = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    with open(error_file, "rb") as err:
        first = err.read(4096).decode(errors="replace").strip().split("\n")[0]
    return seconds, usage.ru_maxrss, proc.returncode, first


def peak_kib(command, env, error_file):
    """The peak resident KiB of one run of command, measured by bench/peak."""
    report = error_file + ".peak"
    _, _, status, _ = run_once([PEAK, report] + command, env, error_file)
    try:
        with open(report) as f:
            return int((f.read().split() or ["0"])[0]) if status == 0 else 0
    except (OSError, ValueError):
        return 0


def read_lines(path):
    with open(path, "rb") as f:
        data = f.read()
    data = data.replace(b"\r\n", b"\n")
    if data.endswith(b"\n"):
        data = data[:-1]
    return data.split(b"\n") if data else []


def agree(reference, other, key):
    """Same keys in the same order, and every run of equal keys the same multiset
    of lines (the sort is not stable, so ties may come in any order). Without a key
    function the outputs must be the same, line for line."""
    if key is None:
        return None if reference == other else "different lines"
    if len(reference) != len(other):
        return "%d lines, not %d" % (len(other), len(reference))
    keys = [key(l) for l in reference]
    if keys != [key(l) for l in other]:
        return "keys out of order"
    start = 0
    for i in range(1, len(keys) + 1):
        if i == len(keys) or keys[i] != keys[start]:
            if i - start > 1 and sorted(reference[start:i]) != sorted(other[start:i]):
                return "different lines among equal keys"
            start = i
    return None


def check_outputs(pairs, outputs, mode):
    """Notes on every output that does not agree with velkar's (empty: all agree)."""
    reference = read_lines(outputs["velkar"])
    velkar_size = os.path.getsize(outputs["velkar"])
    notes = []
    for t in pairs:
        if t in FLOORS:
            size = os.path.getsize(outputs[t])
            if size != velkar_size and not (mode in DROPS_LINES and size > velkar_size):
                notes.append("%s: %d bytes, velkar %d" % (t, size, velkar_size))
            continue
        problem = agree(reference, read_lines(outputs[t]), MODES[mode][2])
        if problem:
            notes.append("%s: %s" % (t, problem))
    return notes


def load_average():
    with open("/proc/loadavg") as f:
        return f.read().strip()


def one_minute(load):
    return float(load.split()[0])


def human_bytes(size):
    for unit, scale in (("MB", 1e6), ("kB", 1e3)):
        if size >= scale:
            return "%.1f %s" % (size / scale, unit)
    return "%d B" % size


def summary_table(ranges):
    """Markdown lines: for each ratio, its lowest and highest value over the cases
    with generated input and over those with sorted or reversed input."""
    lines = ["", "| ratio (min–max over cases) | random input | sorted and reversed input |",
             "|---|---|---|"]
    for name, groups in ranges.items():
        cells = []
        for group in ("random", "ordered"):
            values = groups.get(group, [])
            cells.append("%.2f–%.2f" % (min(values), max(values)) if values else "—")
        lines.append(markdown_row([name] + cells))
    return lines


def human_size(n):
    if n < 1000:
        return str(n)
    return "%gk" % (n / 1000) if n < 1_000_000 else "%gM" % (n / 1_000_000)


def median_or_none(values):
    return statistics.median(values) if values else None


def measure_case(args, env, pairs, commands, mode, path, repeat, outputs, error_file):
    """Runs every pair repeat times; returns (velkar times, {tool: times},
    {tool: paired ratios}, {tool: peak KiB}, {tool: failure}, check notes)."""
    spec = MODES[mode]
    velkar_times = []
    times = {t: [] for t in pairs}
    ratios = {t: [] for t in pairs}
    peaks = {t: 0 for t in ("velkar",) + tuple(pairs)}
    failed = {}
    notes = []
    for t in ("velkar",) + tuple(pairs):  # an empty output exists before every case
        open(outputs[t], "wb").close()
    for r in range(repeat):
        for index, other in enumerate(pairs):
            if "velkar" in failed:
                break
            if other in failed:
                continue
            sides = ("velkar", other) if (r + index) % 2 == 0 else (other, "velkar")
            got = {}
            for t in sides:
                seconds, _, status, error = run_once(
                    commands[t](spec, path, outputs[t]), env, error_file)
                if status != 0:
                    failed[t] = "%s: exit %d (%s)" % (t, status, error)
                    break
                got[t] = seconds
            if len(got) < 2:
                continue
            velkar_times.append(got["velkar"])
            times[other].append(got[other])
            ratios[other].append(got["velkar"] / got[other])
        if r == 0 and not args.no_check and "velkar" not in failed:
            notes = check_outputs([t for t in pairs if t not in failed], outputs, mode)
    for t in ("velkar",) + tuple(p for p in pairs if p in SORTERS):
        if t not in failed:
            peaks[t] = peak_kib(commands[t](spec, path, outputs[t]), env, error_file)
    return velkar_times, times, ratios, peaks, failed, notes


def fmt(value, pattern):
    return pattern % value if value is not None else "—"


def header_for(pairs, growth):
    """The column names; growth is the name of the growth column or None."""
    header = ["corpus", "order", "mode", "size", "velkar s"] + ["%s s" % t for t in pairs]
    header += ["velkar/%s" % t for t in pairs]
    header += ["velkar MiB"] + (["gnu MiB", "MiB velkar/gnu"] if "gnu" in pairs else [])
    header += [growth] if growth else []
    return header + ["check"]


def markdown_row(cells):
    return "| " + " | ".join(cells) + " |"


def machine_lines(args):
    def version(command):
        try:
            out = subprocess.run(command, capture_output=True, text=True, timeout=10).stdout
            return out.strip().split("\n")[0]
        except (OSError, subprocess.SubprocessError):
            return "not found"
    tools = ["GNU sort: " + version(["sort", "--version"])]
    if "busybox" in args.pair_list:
        tools.append("busybox: " + version(["busybox"]))
    if "uutils" in args.pair_list:
        tools.append("Rust coreutils: " + version(["coreutils", "sort", "--version"]))
    return ["Machine: %s, %d cores, %s; %s" % (cpu_model(), os.cpu_count(), memory_total(),
                                               platform.platform()),
            "; ".join(tools),
            "Run on %s: `bench/run.py %s`" % (datetime.date.today().isoformat(),
                                             " ".join(args.argv))]


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    p = argparse.ArgumentParser(description="velkar against GNU sort and the floor, in pairs")
    p.add_argument("--build", default=os.path.join(root, "build"),
                   help="the build folder that holds velkar and bench/floor")
    p.add_argument("--velkar", help="the velkar binary (default: the one in --build)")
    p.add_argument("--floor", help="the floor binary (default: --build/bench/floor)")
    p.add_argument("--data", default=os.path.join(root, "build-bench", "corpus"),
                   help="folder for the corpora and the outputs")
    p.add_argument("--sizes", default=",".join(str(n) for n in corpus.SIZES))
    p.add_argument("--kinds", default=",".join(corpus.KINDS))
    p.add_argument("--modes", default=",".join(MODES))
    p.add_argument("--orders", default=",".join(ORDERS),
                   help="input orders: random (as generated), sorted and reversed "
                        "(under the key of the mode)")
    p.add_argument("--pairs", default=",".join(DEFAULT_PAIRS),
                   help="the tools run against velkar, each in a pair of its own")
    p.add_argument("--others", action="store_true",
                   help="also pair velkar with busybox sort and the Rust coreutils sort")
    p.add_argument("--pairs-large", help="the pairs above 1M lines (default: all)")
    p.add_argument("--repeat", type=int, default=5, help="repetitions from 100k to 1M lines")
    p.add_argument("--repeat-small", type=int, default=21,
                   help="repetitions below 100k lines")
    p.add_argument("--repeat-large", type=int, default=3, help="repetitions above 1M lines")
    p.add_argument("--gnu-memory", default="3G",
                   help="GNU sort -S, to keep it in memory ('' for its default)")
    p.add_argument("--no-check", action="store_true", help="skip the output check")
    p.add_argument("--markdown", help="also write the tables to this file")
    args = p.parse_args(argv)
    args.argv = argv

    sizes = sorted({int(s) for s in args.sizes.split(",") if s})
    kinds = [k for k in args.kinds.split(",") if k]
    modes = [m for m in args.modes.split(",") if m]
    orders = [o for o in args.orders.split(",") if o]
    args.pair_list = [t for t in args.pairs.split(",") if t]
    if args.others:
        args.pair_list += [t for t in OTHERS if t not in args.pair_list]
    for name in kinds:
        if name not in corpus.KINDS:
            p.error("unknown corpus: " + name)
    for name in modes:
        if name not in MODES:
            p.error("unknown mode: " + name)
    for name in orders:
        if name not in ORDERS:
            p.error("unknown order: " + name)
    for name in args.pair_list:
        if name not in SORTERS + FLOORS:
            p.error("unknown tool: " + name)
    args.velkar = os.path.abspath(args.velkar or find_program(args.build, "velkar") or "")
    args.floor = os.path.abspath(args.floor or os.path.join(args.build, "bench", "floor"))
    global PEAK
    PEAK = os.path.join(os.path.dirname(args.floor), "peak")
    if not os.access(PEAK, os.X_OK):
        p.error("no peak binary at %s (build the peak target)" % PEAK)
    if not os.access(args.velkar, os.X_OK) or os.path.isdir(args.velkar):
        p.error("no velkar binary in %s (build it, or give --velkar)" % args.build)
    if any(t in FLOORS for t in args.pair_list) and not os.access(args.floor, os.X_OK):
        p.error("no floor binary at %s (build the floor target, or give --floor)" % args.floor)

    env = environment()
    commands = tool_commands(args)
    out_dir = os.path.join(args.data, "out")
    os.makedirs(out_dir, exist_ok=True)
    error_file = os.path.join(out_dir, "stderr.txt")
    outputs = {t: os.path.join(out_dir, "%s.out" % t) for t in ("velkar",) + SORTERS + FLOORS}

    document = machine_lines(args) + [""]
    for line in document:
        print(line, flush=True)
    if one_minute(load_average()) > QUIET_LOAD:
        print("WARNING: the 1-minute load average is %s, above %.1f: the machine is not "
              "quiet and the figures will not hold" % (load_average().split()[0], QUIET_LOAD),
              file=sys.stderr, flush=True)
    failures = 0
    loud = []
    velkar_medians = {}  # (lines, corpus, order, mode) -> velkar's median seconds
    for n in sizes:
        pairs = args.pair_list
        if n > 1_000_000 and args.pairs_large:
            pairs = [t for t in pairs if t in args.pairs_large.split(",")]
        # Against the size a quarter as large, when it ran (4M against 1M).
        quarter = n // 4 if n % 4 == 0 and n // 4 in sizes else None
        growth = "%s/%s" % (human_size(n), human_size(quarter)) if quarter else None
        repeat = args.repeat_small if n < 100_000 else \
            args.repeat if n <= 1_000_000 else args.repeat_large
        table = ["### %s lines" % human_size(n), ""]
        header = header_for(pairs, growth)
        ranges = {}
        before = load_average()
        highest = one_minute(before)
        table += ["Load average before: `%s`" % before, "",
                  markdown_row(header), "|" + "---|" * len(header)]
        for line in table:
            print(line, flush=True)
        for kind in kinds:
            for order in orders:
                for mode in modes:
                    spec = MODES[mode]
                    if kind not in spec[3]:
                        continue
                    key, direction = spec[4]
                    if order == "random":
                        path = corpus.ensure(args.data, kind, n)
                    else:
                        if order == "reversed":
                            direction = "desc" if direction == "asc" else "asc"
                        path = corpus.ensure(args.data, kind, n, key, direction)
                    size = os.path.getsize(path)
                    with open(path, "rb") as f:  # into the page cache
                        while f.read(1 << 24):
                            pass
                    velkar_times, times, ratios, peaks, failed, notes = measure_case(
                        args, env, pairs, commands, mode, path, repeat, outputs, error_file)
                    failures += "velkar" in failed or bool(notes)
                    velkar_median = median_or_none(velkar_times)
                    row = [kind, order, mode, human_bytes(size), fmt(velkar_median, "%.4f")]
                    row += [fmt(median_or_none(times[t]), "%.4f") for t in pairs]
                    row += [fmt(median_or_none(ratios[t]), "%.2f") for t in pairs]
                    group = "random" if order == "random" else "ordered"
                    for t in pairs:
                        if ratios[t]:
                            ranges.setdefault("velkar/" + t, {}).setdefault(group, []).append(
                                statistics.median(ratios[t]))
                    velkar_mib = peaks["velkar"] / 1024 if velkar_median else None
                    row.append(fmt(velkar_mib, "%.0f"))
                    if "gnu" in pairs:
                        gnu_mib = peaks["gnu"] / 1024 if times["gnu"] else None
                        row.append(fmt(gnu_mib, "%.0f"))
                        both = velkar_mib is not None and gnu_mib
                        row.append(fmt(velkar_mib / gnu_mib if both else None, "%.2f"))
                        if both:
                            ranges.setdefault("peak MiB velkar/gnu", {}).setdefault(
                                group, []).append(velkar_mib / gnu_mib)
                    velkar_medians[(n, kind, order, mode)] = velkar_median
                    if growth:
                        base = velkar_medians.get((quarter, kind, order, mode))
                        growth_ratio = velkar_median / base if base and velkar_median else None
                        row.append(fmt(growth_ratio, "%.2f"))
                        if growth_ratio:
                            ranges.setdefault("velkar " + growth, {}).setdefault(
                                group, []).append(growth_ratio)
                    problems = list(failed.values()) + notes
                    row.append("; ".join(problems) if problems else
                               "unchecked" if args.no_check else "agree")
                    table.append(markdown_row(row))
                    print(table[-1], flush=True)
                    highest = max(highest, one_minute(load_average()))
        after = load_average()
        highest = max(highest, one_minute(after))
        tail = summary_table(ranges)
        tail += ["", "Load average after: `%s`; highest 1-minute load seen between "
                    "cases: %.2f" % (after, highest)]
        if highest > QUIET_LOAD:
            tail += ["", "**WARNING: the 1-minute load average reached %.2f (above %.1f) "
                         "during this table: the machine was not quiet, these figures do "
                         "not hold.**" % (highest, QUIET_LOAD)]
            loud.append("%s lines: 1-minute load reached %.2f" % (human_size(n), highest))
            print("WARNING: 1-minute load %.2f > %.1f during the %s-line table"
                  % (highest, QUIET_LOAD, human_size(n)), file=sys.stderr, flush=True)
        for line in tail + [""]:
            print(line, flush=True)
        document += table + tail + [""]
    for path in outputs.values():
        if os.path.exists(path):
            os.remove(path)

    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write("\n".join(document))
    for note in loud:
        print("WARNING: the machine was not quiet (%s > %.1f); do not publish these figures"
              % (note, QUIET_LOAD), file=sys.stderr)
    if failures:
        print("run: %d case(s) where velkar failed or an output disagreed" % failures,
              file=sys.stderr)
        return 1
    return 0


def find_program(build, name):
    """The executable called name in the build folder (bin/, its top or one level down)."""
    candidates = [os.path.join(build, "bin", name), os.path.join(build, name)]
    if os.path.isdir(build):
        candidates += sorted(os.path.join(build, d, name) for d in os.listdir(build))
    for path in candidates:
        if os.path.isfile(path) and os.access(path, os.X_OK):
            return path
    return None


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown CPU"


def memory_total():
    try:
        with open("/proc/meminfo") as f:
            kib = int(f.readline().split()[1])
        return "%.0f GiB RAM" % (kib / 1048576)
    except (OSError, ValueError, IndexError):
        return "unknown RAM"


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
