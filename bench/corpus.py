#!/usr/bin/env python3
# Benchmark corpora: deterministic, seeded text files in five shapes (words, csv,
# fixed, sjis, short) of any number of lines (the benchmark uses 2, 1000, 100k, 1M
# and 4M), in their generated order or sorted under one of the sort keys, ascending
# or descending; and those keys as velkar defines them. Python 3 standard library only.
#   corpus.py KIND LINES OUTFILE [KEY asc|desc]   writes one corpus
#   corpus.py --all DIR [LINES...]                writes every kind, generated order
import os
import random
import sys

KINDS = ("words", "csv", "fixed", "sjis", "short")
SIZES = (2, 1000, 100_000, 1_000_000, 4_000_000)

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


# --- the sort keys, as velkar defines them -------------------------------------
# Used to write the presorted and reverse-sorted corpora and, by run.py, to compare
# outputs. Column keys start at byte 11 (offset 10), field keys are the third comma
# field: the corpora that take them have no line of 10 bytes or less and no line
# with fewer than three fields, so every line has its key.

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


# name -> key of a line (None: the whole line, byte by byte). Folding turns a-z
# into A-Z and leaves every other byte, as bytes.upper() does.
KEYS = {
    "bytes": None,
    "folded": lambda l: l.upper(),
    "column": lambda l: l[10:],
    "field": lambda l: field_text(l, 2),
    "field-num": lambda l: field_number(l, 2),
}
DIRECTIONS = ("asc", "desc")


def sorted_lines(lines, key, direction):
    """The lines in key order (Python's stable sort); descending is the exact
    reverse of ascending, equal keys included."""
    result = sorted(lines, key=KEYS[key])
    if direction == "desc":
        result.reverse()
    return result


def generate(kind, n):
    rng = random.Random("velkar-%s-%d" % (kind, n))
    return MAKERS[kind](rng, n)


def write_lines(lines, end, path):
    tmp = path + ".part"
    with open(tmp, "wb") as f:
        f.write(end.join(lines) + end if lines else b"")
    os.replace(tmp, path)


def write_corpus(kind, n, path, key=None, direction="asc"):
    lines, end = generate(kind, n)
    if key is not None:
        lines = sorted_lines(lines, key, direction)
    write_lines(lines, end, path)


def corpus_path(directory, kind, n, key=None, direction="asc"):
    if key is None:
        return os.path.join(directory, "%s-%d.txt" % (kind, n))
    return os.path.join(directory, "%s-%d-%s-%s.txt" % (kind, n, key, direction))


def ensure(directory, kind, n, key=None, direction="asc"):
    """The path of the corpus, written first if it is not there yet. A sorted one
    is made from the generated one, which is written too when it is missing."""
    path = corpus_path(directory, kind, n, key, direction)
    if os.path.exists(path):
        return path
    os.makedirs(directory, exist_ok=True)
    print("corpus: writing", path, file=sys.stderr, flush=True)
    if key is None:
        write_corpus(kind, n, path)
        return path
    lines, end = generate(kind, n)
    write_lines(sorted_lines(lines, key, direction), end, path)
    return path


def main(argv):
    if len(argv) >= 2 and argv[0] == "--all":
        sizes = [int(a) for a in argv[2:]] or list(SIZES)
        for n in sizes:
            for kind in KINDS:
                ensure(argv[1], kind, n)
        return 0
    if len(argv) in (3, 5) and argv[0] in KINDS:
        key, direction = (argv[3], argv[4]) if len(argv) == 5 else (None, "asc")
        if key is None or (key in KEYS and direction in DIRECTIONS):
            write_corpus(argv[0], int(argv[1]), argv[2], key, direction)
            return 0
    print("usage: corpus.py KIND LINES OUTFILE [KEY asc|desc] | --all DIR [LINES...]\n"
          "  KIND: %s; KEY: %s" % (", ".join(KINDS), ", ".join(KEYS)), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
