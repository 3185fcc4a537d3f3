#!/usr/bin/env python3
# Benchmark corpora: deterministic, seeded text files of 100k, 1M or 4M lines in
# five shapes (words, csv, fixed, sjis, short). Python 3 standard library only.
#   corpus.py KIND LINES OUTFILE     writes one corpus
#   corpus.py --all DIR [LINES...]   writes every kind for the given sizes into DIR
import os
import random
import sys

KINDS = ("words", "csv", "fixed", "sjis", "short")
SIZES = (100_000, 1_000_000, 4_000_000)

LETTERS = b"abcdefghijklmnopqrstuvwxyz"
UPPER = b"ABCDEFGHIJKLMNOPQRSTUVWXYZ"
DIGITS = b"0123456789"


def skewed(rng, count):
    """An index below count, small indexes much more likely (a rough Zipf)."""
    return int(count * rng.random() ** 3)


def make_vocabulary(rng, count):
    """Words of 2 to 11 letters: lower case, capitalised or all capitals."""
    words = []
    for _ in range(count):
        word = bytes(rng.choices(LETTERS, k=rng.randint(2, 11)))
        shape = rng.random()
        if shape < 0.15:
            word = word.capitalize()
        elif shape < 0.20:
            word = word.upper()
        words.append(word)
    return words


def words_lines(rng, n):
    """Printable ASCII words, 20 to 80 bytes a line, mixed case, ~2% repeated."""
    vocab = make_vocabulary(rng, 30_000)
    punct = [b"", b"", b"", b"", b".", b"!", b"?", b";", b":", b"-", b"'s", b"(1)"]
    lines = []
    for _ in range(n):
        if lines and rng.random() < 0.02:
            lines.append(lines[rng.randrange(len(lines))])
            continue
        target = rng.randint(20, 80)
        parts = []
        size = -1
        while size < target:
            word = vocab[skewed(rng, len(vocab))] + rng.choice(punct)
            parts.append(word)
            size += len(word) + 1
        line = b" ".join(parts)[:target]
        # The cut may leave a blank at the end; keep the line printable to its last byte.
        if line.endswith(b" "):
            line = line[:-1] + b"x"
        lines.append(line)
    return lines, b"\n"


def number_text(rng):
    """A signed integer spread over the whole 32-bit range, extremes included."""
    r = rng.random()
    if r < 0.001:
        return b"-2147483648"
    if r < 0.002:
        return b"2147483647"
    if r < 0.05:
        value = rng.randint(-9, 99)  # small values: many equal keys
    else:
        magnitude = int(10 ** rng.uniform(0, 9.332))  # up to 2147483647
        value = min(magnitude, 2147483647)
        if rng.random() < 0.5:
            value = -value
    return str(value).encode()


def csv_lines(rng, n):
    """Five comma fields: code, name, signed 32-bit integer, date, status word."""
    vocab = make_vocabulary(rng, 5_000)
    status = [b"open", b"closed", b"pending", b"Shipped", b"RETURNED", b"on hold"]
    lines = []
    for _ in range(n):
        code = b"C%07d" % rng.randrange(10_000_000)
        name = vocab[skewed(rng, len(vocab))] + b" " + vocab[skewed(rng, len(vocab))]
        date = b"20%02d-%02d-%02d" % (rng.randrange(30), rng.randint(1, 12), rng.randint(1, 28))
        lines.append(b",".join((code, name, number_text(rng), date, rng.choice(status))))
    return lines, b"\n"


def fixed_lines(rng, n):
    """Fixed-width 48-byte records without blanks: a 10-byte record number, then
    the key from byte 11 (region, date, account, amount, flag)."""
    regions = [bytes(rng.choices(UPPER, k=3)) for _ in range(40)]
    lines = []
    for i in range(n):
        record = b"R%09d" % ((i * 7919) % 1_000_000_000)
        region = regions[skewed(rng, len(regions))]
        date = b"20%02d%02d%02d" % (rng.randrange(20, 27), rng.randint(1, 12), rng.randint(1, 28))
        account = bytes(rng.choices(UPPER + DIGITS, k=8))
        amount = b"%012d" % rng.randrange(10 ** rng.randint(3, 12))
        flag = bytes(rng.choices(b"ABCDEFGHXYZ_", k=7))
        lines.append(record + region + date + account + amount + flag)
    return lines, b"\n"


def sjis_char(rng):
    """One Shift-JIS double-byte character: hiragana, katakana or a level-1 kanji."""
    kind = rng.random()
    if kind < 0.3:
        return bytes((0x82, rng.randint(0x9F, 0xF1)))  # hiragana
    if kind < 0.5:
        return bytes((0x83, rng.randint(0x40, 0x96)))  # katakana (trail may be a-z bytes)
    lead = rng.randint(0x88, 0x9F) if rng.random() < 0.85 else rng.randint(0xE0, 0xEA)
    trail = rng.randint(0x40, 0xFB)
    if trail == 0x7F:
        trail = 0x80
    return bytes((lead, trail))


def sjis_lines(rng, n):
    """Shift-JIS comma records with CR LF ends: a double-byte name, its half-width
    katakana reading, a signed integer, an ASCII code, and a mixed remark."""
    names = [b"".join(sjis_char(rng) for _ in range(rng.randint(2, 6))) for _ in range(20_000)]
    readings = [bytes(rng.randint(0xA6, 0xDF) for _ in range(rng.randint(3, 10))) for _ in range(5_000)]
    lines = []
    for _ in range(n):
        name = names[skewed(rng, len(names))]
        reading = readings[skewed(rng, len(readings))]
        code = bytes(rng.choices(UPPER + DIGITS, k=6))
        remark = b"".join(sjis_char(rng) for _ in range(rng.randint(0, 8)))
        if rng.random() < 0.3:
            remark += b"(" + bytes(rng.choices(LETTERS, k=4)) + b")"
        lines.append(b",".join((name, reading, number_text(rng), code, remark)))
    return lines, b"\r\n"


def short_lines(rng, n):
    """Lines of 1 to 8 bytes from a small pool, so nearly every line repeats."""
    pool = [bytes(rng.choices(LETTERS + UPPER + DIGITS, k=rng.randint(1, 8)))
            for _ in range(max(1000, n // 40))]
    return [pool[skewed(rng, len(pool))] for _ in range(n)], b"\n"


MAKERS = {"words": words_lines, "csv": csv_lines, "fixed": fixed_lines,
          "sjis": sjis_lines, "short": short_lines}


def write_corpus(kind, n, path):
    rng = random.Random("velkar-%s-%d" % (kind, n))
    lines, end = MAKERS[kind](rng, n)
    tmp = path + ".part"
    with open(tmp, "wb") as f:
        f.write(end.join(lines) + end)
    os.replace(tmp, path)


def corpus_path(directory, kind, n):
    return os.path.join(directory, "%s-%d.txt" % (kind, n))


def main(argv):
    if len(argv) >= 2 and argv[0] == "--all":
        directory = argv[1]
        sizes = [int(a) for a in argv[2:]] or list(SIZES)
        os.makedirs(directory, exist_ok=True)
        for n in sizes:
            for kind in KINDS:
                path = corpus_path(directory, kind, n)
                if not os.path.exists(path):
                    print("corpus: writing", path, file=sys.stderr)
                    write_corpus(kind, n, path)
        return 0
    if len(argv) == 3 and argv[0] in KINDS:
        write_corpus(argv[0], int(argv[1]), argv[2])
        return 0
    print("usage: corpus.py KIND LINES OUTFILE | --all DIR [LINES...]", file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
