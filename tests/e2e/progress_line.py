#!/usr/bin/env python3
"""The console's progress line, seen from a terminal: the built program in console
mode with standard error on a pseudo-terminal. A run that lasts over a second
draws the line ("\\r", text, erase-to-end) and leaves the screen as it found it
when it succeeds, or with only its message when it fails; with standard error a
file or a pipe nothing at all is written there.

Usage: progress_line.py PROGRAM CASE
  (success, failure, output_on_terminal, large_file, not_a_terminal)
"""
import fcntl
import os
import pty
import re
import select
import struct
import subprocess
import sys
import tempfile
import termios
import time

PROGRAM = os.path.abspath(sys.argv[1])
ENV = {k: v for k, v in os.environ.items()
       if k not in ("DISPLAY", "WAYLAND_DISPLAY", "VELKAR_CLIPBOARD_SERVER")}
ENV["QT_QPA_PLATFORM"] = "offscreen"
LIMIT = 30  # seconds for any one run

DRAWN = re.compile(rb"\rvelkar: [a-z]+ [ -~]*?\x1b\[K")
ERASED = b"\r\x1b[K"
failures = []


def fail(case, why):
    failures.append(f"{case}: {why}")
    print(f"progress_line {case}: {why}", file=sys.stderr)


def screen_of(data):
    """The rows of a terminal after `data`, and where the cursor is; None when a
    byte comes that the line should never write."""
    rows, row, col = [[]], 0, 0
    i = 0
    while i < len(data):
        b = data[i]
        if data.startswith(b"\x1b[K", i):
            del rows[row][col:]
            i += 3
            continue
        if b == 0x0D:
            col = 0
        elif b == 0x0A:
            row += 1
            if row == len(rows):
                rows.append([])
        elif 0x20 <= b < 0x7F:
            line = rows[row]
            line.extend([" "] * (col - len(line) + 1) if col >= len(line) else [])
            line[col] = chr(b)
            col += 1
        else:
            return None, None
        i += 1
    return ["".join(r).rstrip() for r in rows], (row, col)


def run_on_terminal(words, feed, stdout_path, env=ENV):
    """Runs the program with standard error on a pseudo-terminal (80 columns) and
    `feed` (a list of (delay, bytes)) written to its standard input; returns the
    exit status and every byte the terminal received. Standard output goes to
    `stdout_path`, or to the terminal too when that is None."""
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
    with open(stdout_path or os.devnull, "wb") as out:
        proc = subprocess.Popen([PROGRAM] + words, stdin=subprocess.PIPE,
                                stdout=out if stdout_path else slave,
                                stderr=slave, env=env, cwd=WORK)
    os.close(slave)
    got = bytearray()
    start = time.monotonic()

    def drain(timeout):
        while True:
            ready, _, _ = select.select([master], [], [], timeout)
            if not ready:
                return True
            try:
                chunk = os.read(master, 4096)
            except OSError:  # every writer gone
                return False
            if not chunk:
                return False
            got.extend(chunk)
            timeout = 0

    for delay, data in feed:
        deadline = time.monotonic() + delay
        while time.monotonic() < deadline:
            drain(max(0.0, deadline - time.monotonic()))
        proc.stdin.write(data)
        proc.stdin.flush()
    proc.stdin.close()
    while proc.poll() is None and time.monotonic() - start < LIMIT:
        drain(0.05)
    if proc.poll() is None:
        proc.kill()
        proc.wait()
        return None, bytes(got)
    while drain(0.2):
        pass
    os.close(master)
    return proc.returncode, bytes(got)


def run_many_to(runs, feed):
    """Runs at once, each (words, stderr, stdout path), all fed `feed` together;
    returns their exit statuses."""
    procs = []
    for words, stderr, stdout_path in runs:
        with open(stdout_path, "wb") as out:
            procs.append(subprocess.Popen([PROGRAM] + words, stdin=subprocess.PIPE, stdout=out,
                                          stderr=stderr, env=ENV, cwd=WORK))
    for delay, data in feed:
        time.sleep(delay)
        for proc in procs:
            proc.stdin.write(data)
            proc.stdin.flush()
    for proc in procs:
        proc.stdin.close()
    return [proc.wait(timeout=LIMIT) for proc in procs]


def read(path):
    with open(path, "rb") as f:
        return f.read()


# The input arrives over 1.5 s: the sort's first report comes after a second.
SLOW = [(0, b"b\nc\n"), (1.5, b"a\n")]

def success(out):
    """A successful long run: the line drawn, then erased; nothing else; the screen
    as it was."""
    status, data = run_on_terminal(["-a+"], SLOW, out)
    if status != 0:
        fail(CASE, f"exit status {status}")
    if read(out) != b"a\nb\nc\n":
        fail(CASE, f"output {read(out)!r}")
    if not DRAWN.findall(data):
        fail(CASE, f"no progress line drawn: {data!r}")
    if DRAWN.sub(b"", data) != ERASED:
        fail(CASE, f"bytes besides the drawn lines and one erase at the end: {data!r}")
    rows, cursor = screen_of(data)
    if rows != [""] or cursor != (0, 0):
        fail(CASE, f"screen not clean: {rows!r} cursor {cursor}")


def failure(out):
    """A long run that fails after the line was drawn: only the message is left;
    and "Finish!" (-a) comes on a clean line too."""
    status, data = run_on_terminal(["-a+", "-o", "no-such-folder/out.txt"], SLOW, out)
    if status != 1:
        fail(CASE, f"exit status {status}")
    if not DRAWN.findall(data):
        fail(CASE, f"no progress line drawn: {data!r}")
    rows, cursor = screen_of(data)
    want = ["VELKAR-ERROR: File Open Error!", "[no-such-folder/out.txt]", ""]
    if rows != want or cursor != (2, 0):
        fail(CASE, f"screen {rows!r} cursor {cursor}, expected only the message")
    status, data = run_on_terminal(["-a"], SLOW, out)
    rows, cursor = screen_of(data)
    if status != 0 or rows != ["VELKAR: Finish!", ""] or cursor != (1, 0):
        fail(CASE, f"-a: status {status}, screen {rows!r} cursor {cursor}")


def output_on_terminal(out):
    """The output on the terminal too (the clipboard is standard output there):
    no progress line is mixed into it, the screen shows the sorted lines alone."""
    status, data = run_on_terminal(["-a+"], SLOW, None)
    rows, cursor = screen_of(data)
    if status != 0 or rows != ["a", "b", "c", ""] or cursor != (3, 0):
        fail(CASE, f"status {status}, screen {rows!r} cursor {cursor}: {data!r}")
    if DRAWN.findall(data):
        fail(CASE, f"a progress line among the output: {data!r}")


def large_file(out):
    """A large file sorted on one thread: the line appears if the run lasted over
    a second and a half (this machine's speed decides), and the screen ends clean
    either way."""
    with open(os.path.join(WORK, "big.txt"), "wb") as f:
        state = 12345
        lines = []
        for _ in range(2_000_000):
            state = (state * 1103515245 + 12345) & 0x7FFFFFFF
            lines.append(b"%010d,%s" % (state, b"xyz"[: state % 4]))
        block = b"\n".join(lines) + b"\n"
        for _ in range(5):
            f.write(block)
    env = dict(ENV, VELKAR_THREADS="1")
    begun = time.monotonic()
    status, data = run_on_terminal(["-a+", "-1n", "-f", "big.txt", "-o", "sorted.txt"], [],
                                   out, env)
    took = time.monotonic() - begun
    if status != 0:
        fail(CASE, f"exit status {status}")
    rows, cursor = screen_of(data)
    if rows != [""] or cursor != (0, 0):
        fail(CASE, f"screen not clean: {rows!r} cursor {cursor}")
    drawings = len(DRAWN.findall(data))
    if took > 1.5 and drawings == 0:
        fail(CASE, f"no progress line in a run of {took:.1f} s")
    if data and DRAWN.sub(b"", data) != ERASED:
        fail(CASE, f"bytes besides the drawn lines and the erase: {data!r}")
    print(f"progress_line: the large file took {took:.1f} s, {drawings} drawings")


def not_a_terminal(out):
    """Standard error a file or a pipe: not one byte of progress, on success and
    on failure."""
    message = b"VELKAR-ERROR: File Open Error!\n[no-such-folder/out.txt]\n"
    runs, files, pipes = [], [], []
    for n, (words, want) in enumerate(((["-a+"], b""),
                                       (["-a+", "-o", "no-such-folder/out.txt"], message))):
        err = open(os.path.join(WORK, f"err{n}"), "wb+")
        files.append((err, want, words))
        runs.append((words, err, f"{out}{n}f"))
        reader, writer = os.pipe()
        pipes.append((reader, writer, want, words))
        runs.append((words, writer, f"{out}{n}p"))
    run_many_to(runs, SLOW)
    for err, want, words in files:
        err.seek(0)
        got = err.read()
        err.close()
        if got != want:
            fail(CASE, f"standard error a file, {words}: {got!r}")
    for reader, writer, want, words in pipes:
        os.close(writer)
        got = b""
        while chunk := os.read(reader, 4096):
            got += chunk
        os.close(reader)
        if got != want:
            fail(CASE, f"standard error a pipe, {words}: {got!r}")


CASES = {"success": success, "failure": failure, "output_on_terminal": output_on_terminal,
         "large_file": large_file, "not_a_terminal": not_a_terminal}
CASE = sys.argv[2]
with tempfile.TemporaryDirectory(prefix="velkar-progress-") as WORK:
    CASES[CASE](os.path.join(WORK, "out"))
sys.exit(1 if failures else 0)
