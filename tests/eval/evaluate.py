#!/usr/bin/python3
"""Measures the automatic source (litvorot-convert --from auto) on real texts nobody here wrote.

Corpus: the Russian translations and their English originals in the message catalogues that these
Debian packages install in /usr/share/locale/ru/LC_MESSAGES: coreutils, bash, apt, dpkg, grep,
findutils, diffutils, libc-l10n (libc.mo). Samples are runs of consecutive words of one message:
1 word, 2-4 words and 5-12 words, of Russian (Cyrillic words only) and of English (Latin words
only). Each Russian sample is garbled in every way the automatic source reads back, each English
one typed on the Russian layout; good samples are also given as they are.

A garbled sample counts as recovered when the output is exactly the original text (for Translit:
exactly what --from translit --to unicode gives, the Translit source's own reading). A good sample
counts as left alone when the output is the input.

With python3-chardet installed, the byte mix-ups are also given to chardet: the garbled text is
encoded in each code page it may have been misread in (CP 1251, KOI8-R, CP 1252, Latin-1), and the
encoding chardet is most confident of decodes it back.

Usage: tests/eval/evaluate.py CONVERTER [SAMPLES_PER_CELL] [--seed N] [--failures [ROW]]
  SAMPLES_PER_CELL  up to this many samples of each length (default 200); prints a table
  --seed N          draws the samples with seed N (default 14, the figures in README.md): another
                    seed gives a second sample to check a calibration on
  --failures [ROW]  also prints, on standard error, each sample that did not come out right (of
                    the rows whose name contains ROW, all rows without it): given, got, expected
"""

import argparse
import concurrent.futures
import gettext
import random
import re
import subprocess
import sys

PACKAGES = ["coreutils", "bash", "apt", "dpkg", "grep", "findutils", "diffutils", "libc"]
LOCALE_DIR = "/usr/share/locale/ru/LC_MESSAGES/"

EN_KEYS = "qwertyuiop[]asdfghjkl;'zxcvbnm,./QWERTYUIOP{}ASDFGHJKL:\"ZXCVBNM<>?`~@#$^&|"
RU_KEYS = "йцукенгшщзхъфывапролджэячсмитьбю.ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮ,ёЁ\"№;:?/"
TO_RU = str.maketrans(EN_KEYS, RU_KEYS)
TO_EN = str.maketrans(RU_KEYS, EN_KEYS)


def windows_decode(data, codepage):
    """Bytes read as Windows reads them: an undefined byte is the control character of its number."""
    out = []
    for b in data:
        try:
            out.append(bytes([b]).decode(codepage))
        except UnicodeDecodeError:
            out.append(chr(b))
    return "".join(out)


def windows_encode(text, codepage):
    out = bytearray()
    for c in text:
        try:
            out += c.encode(codepage)
        except UnicodeEncodeError:
            if ord(c) < 256 and windows_decode(bytes([ord(c)]), codepage) == c:
                out.append(ord(c))
            else:
                raise
    return bytes(out)


RUSSIAN_GARBLES = {
    "Translit": None,  # made by the converter itself
    "KOI8 (8-bit model)": lambda t: t.encode("koi8_r").decode("latin-1"),
    "CP 1251 (8-bit model)": lambda t: t.encode("cp1251").decode("latin-1"),
    "UTF-8 read as CP 1251": lambda t: windows_decode(t.encode("utf-8"), "cp1251"),
    "UTF-8 read as KOI8-R": lambda t: t.encode("utf-8").decode("koi8_r"),
    "UTF-8 read as CP 1252": lambda t: windows_decode(t.encode("utf-8"), "cp1252"),
    "CP 1251 read as KOI8-R": lambda t: t.encode("cp1251").decode("koi8_r"),
    "KOI8-R read as CP 1251": lambda t: windows_decode(t.encode("koi8_r"), "cp1251"),
    "Russian on the English layout": lambda t: t.translate(TO_EN),
}
BYTE_GARBLES = ["UTF-8 read as CP 1251", "UTF-8 read as KOI8-R", "UTF-8 read as CP 1252",
                "CP 1251 read as KOI8-R", "KOI8-R read as CP 1251"]
LENGTHS = {"1 word": (1, 1), "2-4 words": (2, 4), "5+ words": (5, 12)}
TOKEN_RU = re.compile(r"^[(«\"]?[А-Яа-яЁё]+(?:-[А-Яа-яЁё]+)?[»\")]?[.,:;!?]?$")
TOKEN_EN = re.compile(r"^[(\"]?[A-Za-z]+(?:'[a-z]+)?[\")]?[.,:;!?]?$")


def messages():
    ru, en = [], []
    for package in PACKAGES:
        try:
            with open(LOCALE_DIR + package + ".mo", "rb") as f:
                catalog = gettext.GNUTranslations(f)._catalog
        except OSError:
            continue
        for msgid, msgstr in sorted(catalog.items(), key=lambda kv: str(kv[0])):
            if isinstance(msgid, tuple):
                msgid = msgid[0]
            if msgid and msgstr:
                ru.append(msgstr)
                en.append(msgid)
    return ru, en


def samples(texts, token, length, count, rng):
    low, high = length
    runs = []
    for text in texts:
        words = text.split()
        k = rng.randint(low, high)
        for start in range(0, max(0, len(words) - k + 1)):
            run = words[start:start + k]
            if all(token.match(w) for w in run):
                sample = " ".join(run)
                if k == 1:
                    sample = sample.strip("()«»\".,:;!?")
                    if len(sample) < 2:
                        continue
                runs.append(sample)
                break
    runs = sorted(set(runs))
    rng.shuffle(runs)
    return runs[:count]


def convert(converter, frm, to, text):
    result = subprocess.run([converter, "--from", frm, "--to", to], input=text.encode("utf-8"),
                            capture_output=True, check=True)
    return result.stdout.decode("utf-8")


def chardet_recovers(garbled, original):
    import chardet
    best = None
    for codepage in ("cp1251", "koi8_r", "cp1252", "latin-1"):
        try:
            data = windows_encode(garbled, codepage)
        except UnicodeEncodeError:
            continue
        guess = chardet.detect(data)
        if guess["encoding"] and (best is None or guess["confidence"] > best[0]):
            best = (guess["confidence"], guess["encoding"], data)
    if best is None:
        return False
    try:
        return best[2].decode(best[1]) == original
    except (LookupError, UnicodeDecodeError):
        return False


def main():
    parser = argparse.ArgumentParser(description="Measures litvorot-convert --from auto.")
    parser.add_argument("converter")
    parser.add_argument("count", nargs="?", type=int, default=200)
    parser.add_argument("--seed", type=int, default=14)
    parser.add_argument("--failures", nargs="?", const="", default=None, metavar="ROW")
    args = parser.parse_args()
    converter, count = args.converter, args.count
    rng = random.Random(args.seed)
    ru_texts, en_texts = messages()
    try:
        import chardet  # noqa: F401
        have_chardet = True
    except ImportError:
        have_chardet = False

    jobs = []  # (row, column, input, expected, original)
    for column, length in LENGTHS.items():
        ru = samples(ru_texts, TOKEN_RU, length, count, rng)
        en = samples(en_texts, TOKEN_EN, length, count, rng)
        for text in ru:
            jobs.append(("good Russian (left alone)", column, text, text, text))
        for text in en:
            jobs.append(("good English (left alone)", column, text, text, text))
            jobs.append(("English on the Russian layout", column, text.translate(TO_RU), text, text))
        for name, garble in RUSSIAN_GARBLES.items():
            for text in ru:
                if garble is None:
                    garbled = convert(converter, "unicode", "translit", text)
                    expected = convert(converter, "translit", "unicode", garbled)
                else:
                    try:
                        garbled = garble(text)
                    except UnicodeError:
                        continue  # the text has a character the code page lacks
                expected_text = expected if garble is None else text
                jobs.append((name, column, garbled, expected_text, text))

    def run(job):
        row, column, given, expected, original = job
        got = convert(converter, "auto", "unicode", given)
        detector = chardet_recovers(given, original) if have_chardet and row in BYTE_GARBLES else None
        if got != expected and args.failures is not None and args.failures in row:
            print(f"{row} | {column} | given {given!r} | got {got!r} | expected {expected!r}",
                  file=sys.stderr)
        return row, column, got == expected, detector

    results = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for row, column, ok, detector in pool.map(run, jobs):
            cell = results.setdefault((row, column), [0, 0, 0])
            cell[0] += ok
            cell[1] += 1
            cell[2] += bool(detector)

    rows = list(dict.fromkeys(job[0] for job in jobs))
    print("| reading | " + " | ".join(LENGTHS) + " |" + (" chardet, " + " | chardet, ".join(LENGTHS) + " |" if have_chardet else ""))
    print("|---|" + "---|" * len(LENGTHS) * (2 if have_chardet else 1))
    totals = {}
    for row in rows:
        cells, detector_cells = [], []
        for column in LENGTHS:
            ok, n, det = results.get((row, column), [0, 0, 0])
            cells.append(f"{100 * ok / n:.1f} % ({n})" if n else "-")
            detector_cells.append(f"{100 * det / n:.1f} %" if n and row in BYTE_GARBLES else "")
            group = ("left alone" if "left alone" in row else "recovered",
                     "single" if column == "1 word" else "multi")
            t = totals.setdefault(group, [0, 0])
            t[0] += ok
            t[1] += n
        line = f"| {row} | " + " | ".join(cells) + " |"
        if have_chardet:
            line += " " + " | ".join(detector_cells) + " |"
        print(line)
    print()
    for (kind, size), (ok, n) in sorted(totals.items()):
        print(f"{kind}, {size}-word texts: {100 * ok / n:.2f} % of {n}")


if __name__ == "__main__":
    main()
