#!/usr/bin/env python3
# Times velkar in console mode against GNU sort (default threads and one thread),
# busybox sort and the Rust coreutils sort on the generated corpora, after checking
# that every tool's output agrees with velkar's. Python 3 standard library only.
# Usage: bench/run.py --help
import argparse
import os
import platform
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import corpus  # noqa: E402

TAB = "\t"


# --- keys, as velkar defines them (used only to compare outputs) -------------

def number_value(text):
    """The 32-bit number at the start of text: blanks 09-0D/20, one sign, digits,
    wrapping modulo 2^32."""
    i = 0
    while i < len(text) and (9 <= text[i] <= 13 or text[i] == 32):
        i += 1
    negative = False
    if i < len(text) and text[i] in b"+-":
        negative = text[i] == 45
        i += 1
    value = 0
    while i < len(text) and 48 <= text[i] <= 57:
        value = (value * 10 + text[i] - 48) & 0xFFFFFFFF
        i += 1
    if negative:
        value = (-value) & 0xFFFFFFFF
    return value - (1 << 32) if value >= 1 << 31 else value


def field_text(line, index):
    parts = line.split(b",")
    return parts[index][:512] if index < len(parts) else None


def field_number(line, index):
    parts = line.split(b",")
    if index >= len(parts):
        return 0
    text = parts[index]
    return number_value(text[1:] if text.startswith(b'"') else text)


# --- the modes ------------------------------------------------------------------
# name: (velkar words, GNU-style sort words, key of a line for the tie check or
#        None where the whole line is the key, corpora it applies to). Column keys start at byte 11 (offset 10) and field
# keys are the third comma field, so the corpora that take them have no line of 10
# bytes or less and no line with fewer than three fields: every line has its key
# and the order relation is total.
ALL = corpus.KINDS
COLUMN_KINDS = ("words", "csv", "fixed", "sjis")
FIELD_KINDS = ("csv", "sjis")
MODES = {
    "line": ([], [], None, ALL),
    "-i": (["-i"], ["-f"], lambda l: l.upper(), ALL),
    "-u": (["-u"], ["-u"], None, ALL),
    "-r": (["-r"], ["-r"], None, ALL),
    "column": (["-11"], ["-t", TAB, "-k1.11"], lambda l: l[10:], COLUMN_KINDS),
    "field": (["-3f"], ["-t", ",", "-k3,3"], lambda l: field_text(l, 2), FIELD_KINDS),
    "field-num": (["-3nf"], ["-t", ",", "-k3,3n"], lambda l: field_number(l, 2), FIELD_KINDS),
    "field-num-r": (["-r", "-3nf"], ["-t", ",", "-k3,3nr"], lambda l: field_number(l, 2),
                    FIELD_KINDS),
}


def tool_commands(args):
    """name -> function(mode words, input, output) giving the command line."""
    velkar = os.path.abspath(args.velkar)
    gnu_memory = ["-S", args.gnu_memory]
    return {
        "velkar": lambda m, i, o: [velkar, "-a+"] + m[0] + ["-f", i, "-o", o],
        "gnu": lambda m, i, o: ["sort"] + gnu_memory + m[1] + ["-o", o, i],
        "gnu-p1": lambda m, i, o: ["sort", "--parallel=1"] + gnu_memory + m[1] + ["-o", o, i],
        "busybox": lambda m, i, o: ["busybox", "sort"] + m[1] + ["-o", o, i],
        "uutils": lambda m, i, o: ["coreutils", "sort"] + m[1] + ["-o", o, i],
    }


def environment():
    env = dict(os.environ)
    env["LC_ALL"] = "C"
    env["QT_QPA_PLATFORM"] = "offscreen"
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def run_timed(command, env, time_file):
    """Runs one command under /usr/bin/time; returns (seconds, peak KiB, status,
    first line of its error output)."""
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", time_file] + command,
                            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seconds = time.perf_counter() - start
    with open(time_file) as f:
        lines = [l for l in f.read().split("\n") if l.strip()]
    peak = int(lines[-1]) if lines and lines[-1].strip().isdigit() else 0
    error = result.stderr.decode(errors="replace").strip().split("\n")[0]
    return seconds, peak, result.returncode, error


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


def human_size(n):
    return "%.0fk" % (n / 1000) if n < 1_000_000 else "%gM" % (n / 1_000_000)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    p = argparse.ArgumentParser(description="velkar against the command-line sorters")
    p.add_argument("--velkar", default=os.path.join(root, "build", "ui", "velkar"),
                   help="the velkar binary (console mode is used)")
    p.add_argument("--data", default=os.path.join(root, "build-bench", "corpus"),
                   help="folder for the corpora and the outputs")
    p.add_argument("--sizes", default="100000,1000000,4000000")
    p.add_argument("--kinds", default=",".join(corpus.KINDS))
    p.add_argument("--modes", default=",".join(MODES))
    p.add_argument("--tools", default="velkar,gnu,gnu-p1,busybox,uutils")
    p.add_argument("--tools-large", help="tools above 1M lines (default: --tools)")
    p.add_argument("--repeat", type=int, default=5, help="timed runs per tool and case")
    p.add_argument("--repeat-large", type=int, default=2,
                   help="timed runs per tool and case above 1M lines")
    p.add_argument("--gnu-memory", default="3G", help="GNU sort -S, to keep it in memory")
    p.add_argument("--no-check", action="store_true", help="skip the output check")
    p.add_argument("--markdown", help="also write the table to this file")
    args = p.parse_args(argv)

    sizes = [int(s) for s in args.sizes.split(",") if s]
    kinds = [k for k in args.kinds.split(",") if k]
    modes = [m for m in args.modes.split(",") if m]
    tools = [t for t in args.tools.split(",") if t]
    commands = tool_commands(args)
    for name in kinds + modes + tools:
        if name not in corpus.KINDS and name not in MODES and name not in commands:
            p.error("unknown name: " + name)
    if "velkar" in tools and not os.access(args.velkar, os.X_OK):
        p.error("no velkar binary at %s (build it, or give --velkar)" % args.velkar)

    env = environment()
    corpus.main(["--all", args.data] + [str(n) for n in sizes])
    out_dir = os.path.join(args.data, "out")
    os.makedirs(out_dir, exist_ok=True)
    time_file = os.path.join(out_dir, "time.txt")

    has_gnu = "velkar" in tools and "gnu" in tools
    header = ["lines", "corpus", "mode", "MB"] + ["%s s" % t for t in tools]
    header += ["velkar/gnu"] if has_gnu else []
    header += ["%s MiB" % t for t in tools]
    header += ["peak/input", "peak/gnu"] if has_gnu else []
    header += ["check"]
    rows = []
    failures = 0
    print(" | ".join(header), flush=True)
    for n in sizes:
        for kind in kinds:
            path = corpus.corpus_path(args.data, kind, n)
            size = os.path.getsize(path)
            with open(path, "rb") as f:  # into the page cache
                while f.read(1 << 24):
                    pass
            for mode in modes:
                if kind not in MODES[mode][3]:
                    continue
                spec = MODES[mode]
                case_tools = tools if n <= 1_000_000 or not args.tools_large else \
                    [t for t in tools if t in args.tools_large.split(",")]
                outputs = {t: os.path.join(out_dir, "%s.out" % t) for t in tools}
                times = {t: [] for t in tools}
                peaks = {t: [] for t in tools}
                failed = {}
                check = "unchecked"
                repeat = args.repeat if n <= 1_000_000 else args.repeat_large
                for r in range(repeat):
                    order = case_tools if r % 2 == 0 else list(reversed(case_tools))
                    for t in order:
                        if t in failed:
                            continue
                        seconds, peak, status, error = run_timed(
                            commands[t](spec, path, outputs[t]), env, time_file)
                        if status != 0:
                            failed[t] = "%s: exit %d (%s)" % (t, status, error)
                            failures += t == "velkar"
                            continue
                        times[t].append(seconds)
                        peaks[t].append(peak)
                    if r == 0 and not args.no_check and len(case_tools) > 1 and \
                            case_tools[0] not in failed:
                        reference = read_lines(outputs[case_tools[0]])
                        notes = []
                        for t in case_tools[1:]:
                            if t in failed:
                                continue
                            problem = agree(reference, read_lines(outputs[t]), spec[2])
                            if problem:
                                notes.append("%s: %s" % (t, problem))
                                failures += case_tools[0] == "velkar" and t.startswith("gnu")
                        check = "; ".join(notes) if notes else "agree"
                notes = list(failed.values()) + ([] if check == "agree" and failed else [check])
                medians = {t: statistics.median(times[t]) for t in tools if times[t]}
                peak_mib = {t: max(peaks[t]) / 1024 for t in tools if peaks[t]}
                row = [human_size(n), kind, mode, "%.1f" % (size / 1e6)]
                row += ["%.3f" % medians[t] if t in medians else "—" for t in tools]
                both = has_gnu and "velkar" in medians and "gnu" in medians
                if has_gnu:
                    row.append("%.2f" % (medians["velkar"] / medians["gnu"]) if both else "—")
                row += ["%.0f" % peak_mib[t] if t in peak_mib else "—" for t in tools]
                if has_gnu:
                    row.append("%.2f" % (peak_mib["velkar"] * 1048576 / size) if both else "—")
                    row.append("%.2f" % (peak_mib["velkar"] / peak_mib["gnu"]) if both else "—")
                row.append("; ".join(notes))
                rows.append(row)
                print(" | ".join(row), flush=True)
    for t in tools:
        path = os.path.join(out_dir, "%s.out" % t)
        if os.path.exists(path):
            os.remove(path)

    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write("Machine: %s, %d cores, %s; %s\n\n" % (cpu_model(), os.cpu_count(),
                                                         memory_total(), platform.platform()))
            f.write("| " + " | ".join(header) + " |\n")
            f.write("|" + "---|" * len(header) + "\n")
            for row in rows:
                f.write("| " + " | ".join(row) + " |\n")
    if failures:
        print("run: %d velkar run(s) failed or disagreed with GNU sort" % failures, file=sys.stderr)
        return 1
    return 0


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
