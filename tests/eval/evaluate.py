#!/usr/bin/python3
"""Measures the automatic source (litvorot-convert --from auto) on real texts nobody here wrote.

Corpora (Debian packages), each measured on its own:
  - catalogues: the Russian translations and their English originals in the message catalogues
    that coreutils, bash, apt, dpkg, grep, findutils, diffutils and libc-l10n install in
    /usr/share/locale/ru/LC_MESSAGES (the Ukrainian ones in .../uk/ for the KOI8-U rows);
  - prose: the Debian installation guide (installation-guide-amd64), Russian and English HTML;
  - held-out: the Short History of the Debian Project (debian-history), Russian and English text.
    Nothing was ever tuned on it: it checks what was tuned on the others.
  - asked for by name, more prose to tune on: GNOME's desktop help (gnome-user-docs), aptitude's
    manual (aptitude-doc-ru), the Ubuntu packaging guide (ubuntu-packaging-guide-html-ru), Double
    Commander's help (doublecmd-help-ru), the English of these three being aptitude's manual's, and
    the Debian Administrator's Handbook (debian-handbook, Russian and English).
The Debian FAQ, the New Maintainers' Guide, the Developer's Reference and the Russian manual pages
are kept out of every corpus.

Samples are runs of consecutive words of one message or paragraph: 1 word, 2-4 words and 5-12
words, of Russian (Cyrillic words, with their punctuation) and of English (Latin words). Besides,
runs of a Russian text as they stand that have a Latin word among the Cyrillic ones (formats,
options, names, abbreviations) are given as good Russian with Latin words, of 2-4 and 5-12 words. Each
Russian sample is garbled in every way the automatic source reads back, each English one typed on
the Russian layout and given Cyrillic look-alike letters; good samples are also given as they are.
A partly garbled sample is a good Russian run and a garbled one (any garbling), on two lines or
in one line, either first.

A garbled sample counts as recovered when the output is exactly the original text (for Translit:
exactly what --from translit --to unicode gives, the Translit source's own reading). A good sample
counts as left alone when the output is the input. A text of the corpus that already has a word
of Latin and Cyrillic letters run together («Сompose» with a Cyrillic С, «bsН») is no good text
but a look-alike garbling of its own: it is left out of the rows of texts left alone.

With python3-chardet installed, the byte mix-ups are also given to chardet: the garbled text is
encoded in each code page it may have been misread in (CP 1251, KOI8-R, CP 1252, Latin-1, 866,
437), and the encoding chardet is most confident of decodes it back.

Usage: tests/eval/evaluate.py CONVERTER [SAMPLES_PER_CELL] [--seed N] [--corpus NAME]
                              [--failures [ROW]]
  SAMPLES_PER_CELL  up to this many samples of each length (default 200); prints a table a corpus
  --seed N          draws the samples with seed N (default 14, the figures in README.md): another
                    seed gives a second sample to check a calibration on
  --corpus NAME     catalogues, prose or held-out (default: all three); or gnome-help,
                    aptitude-manual, packaging-guide, doublecmd-help, admin-handbook, more prose
                    to tune on whose packages are downloaded and unpacked into
                    ~/.cache/litvorot-eval, not installed
  --failures [ROW]  also prints, on standard error, each sample that did not come out right (of
                    the rows whose name contains ROW, all rows without it): given, got, expected
"""


import argparse
import concurrent.futures
import gettext
import gzip
import html.parser
import os
import pathlib
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


def utf8_as(codepage):
    return lambda t: windows_decode(t.encode("utf-8"), codepage)


def twice(garble):
    return lambda t: garble(garble(t))


LOOK_ALIKES = str.maketrans("асеорхукАВСЕНКМОРТХ", "aceopxykABCEHKMOPTX")
LOOK_ALIKES_BACK = str.maketrans("aceopxykABCEHKMOPTX", "асеорхукАВСЕНКМОРТХ")


def look_alikes(table, rng):
    """In some words (one at least) one letter of the word's script becomes its look-alike in
    the other, never all of the word's letters: as OCR and typing on two layouts leave them."""
    def garble(text):
        words = text.split(" ")
        candidates = [i for i, w in enumerate(words)
                      if sum(c.isalpha() for c in w) >= 2 and any(c in table_keys for c in w)]
        if not candidates:
            raise UnicodeError("no look-alike letter")
        chosen = [i for i in candidates if rng.random() < 0.5] or [rng.choice(candidates)]
        for i in chosen:
            w = words[i]
            places = [k for k, c in enumerate(w) if c in table_keys]
            k = rng.choice(places)
            if sum(c.isalpha() for c in w) - 1 < 1:
                continue
            words[i] = w[:k] + w[k].translate(table) + w[k + 1:]
        return " ".join(words)
    table_keys = {chr(k) for k in table}
    return garble


RUSSIAN_GARBLES = {
    "Translit": None,  # made by the converter itself
    "KOI8 (8-bit model)": lambda t: t.encode("koi8_r").decode("latin-1"),
    "CP 1251 (8-bit model)": lambda t: t.encode("cp1251").decode("latin-1"),
    "UTF-8 read as CP 1251": utf8_as("cp1251"),
    "UTF-8 read as KOI8-R": lambda t: t.encode("utf-8").decode("koi8_r"),
    "UTF-8 read as CP 1252": utf8_as("cp1252"),
    "CP 1251 read as KOI8-R": lambda t: t.encode("cp1251").decode("koi8_r"),
    "KOI8-R read as CP 1251": lambda t: windows_decode(t.encode("koi8_r"), "cp1251"),
    "Russian on the English layout": lambda t: t.translate(TO_EN),
    "UTF-8 read as CP 866": utf8_as("cp866"),
    "CP 866 read as CP 1251": lambda t: windows_decode(t.encode("cp866"), "cp1251"),
    "CP 1251 read as CP 866": lambda t: t.encode("cp1251").decode("cp866"),
    "CP 866 read as CP 437": lambda t: t.encode("cp866").decode("cp437"),
    "UTF-8 read as CP 1251 twice": twice(utf8_as("cp1251")),
    "UTF-8 read as CP 1252 twice": twice(utf8_as("cp1252")),
    "UTF-8 read as KOI8-R twice": twice(lambda t: t.encode("utf-8").decode("koi8_r")),
    "MacCyrillic read as CP 1251": lambda t: windows_decode(t.encode("mac_cyrillic"), "cp1251"),
    "ISO 8859-5 read as CP 1251": lambda t: windows_decode(t.encode("iso8859_5"), "cp1251"),
    "Latin look-alikes in Russian words": "look-alikes",  # drawn with the sample's generator
}
# Garblings of Ukrainian text (the Ukrainian catalogues).
UKRAINIAN_GARBLES = {
    "KOI8-U read as CP 1251": lambda t: windows_decode(t.encode("koi8_u"), "cp1251"),
    "KOI8-U read as Latin-1": lambda t: t.encode("koi8_u").decode("latin-1"),
}
BYTE_GARBLES = ["UTF-8 read as CP 1251", "UTF-8 read as KOI8-R", "UTF-8 read as CP 1252",
                "CP 1251 read as KOI8-R", "KOI8-R read as CP 1251", "UTF-8 read as CP 866",
                "CP 866 read as CP 1251", "CP 1251 read as CP 866", "CP 866 read as CP 437",
                "MacCyrillic read as CP 1251", "ISO 8859-5 read as CP 1251",
                "KOI8-U read as CP 1251"]
LENGTHS = {"1 word": (1, 1), "2-4 words": (2, 4), "5+ words": (5, 12)}
LATIN = re.compile("[A-Za-z]")
CYRILLIC = re.compile("[А-Яа-яЁё]")
# Letters of both scripts side by side: a word with look-alikes in it.
MIXED_WORD = re.compile("[A-Za-z][А-Яа-яЁёІЇЄҐіїєґ]|[А-Яа-яЁёІЇЄҐіїєґ][A-Za-z]")
TOKEN_RU = re.compile(r"^[(«\"]?[А-Яа-яЁё]+(?:-[А-Яа-яЁё]+)?[»\")]?[.,:;!?]?$")
TOKEN_EN = re.compile(r"^[(\"]?[A-Za-z]+(?:'[a-z]+)?[\")]?[.,:;!?]?$")
TOKEN_UK = re.compile(r"^[(«\"]?[А-ЩЬЮЯҐЄІЇа-щьюяґєії']+(?:-[А-ЩЬЮЯҐЄІЇа-щьюяґєії']+)?[»\")]?[.,:;!?]?$")
# Prose keeps its typography: quotes, dashes, the ellipsis.
TOKEN_RU_PROSE = re.compile(r"^(?:[—–]|[(«„“\"]?[А-Яа-яЁё]+(?:-[А-Яа-яЁё]+)?[»“”\")]?[.,:;!?…]*)$")
TOKEN_EN_PROSE = re.compile(r"^(?:[—–]|[(“\"]?[A-Za-z]+(?:['’][a-z]+)?[”\")]?[.,:;!?…]*)$")


def messages(language="ru"):
    ru, en = [], []
    for package in PACKAGES:
        try:
            with open(LOCALE_DIR.replace("/ru/", f"/{language}/") + package + ".mo", "rb") as f:
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


class Paragraphs(html.parser.HTMLParser):
    """The text of an HTML page's paragraphs and list items (not its code or tables)."""

    def __init__(self):
        super().__init__()
        self.out, self.current, self.depth, self.skip = [], [], 0, 0

    def handle_starttag(self, tag, attrs):
        if tag in ("pre", "code", "table", "script", "style"):
            self.skip += 1
        elif tag in ("p", "li", "dd"):
            self.flush()
            self.depth += 1

    def handle_endtag(self, tag):
        if tag in ("pre", "code", "table", "script", "style"):
            self.skip = max(0, self.skip - 1)
        elif tag in ("p", "li", "dd"):
            self.flush()
            self.depth = max(0, self.depth - 1)

    def handle_data(self, data):
        if self.depth and not self.skip:
            self.current.append(data)

    def flush(self):
        text = " ".join("".join(self.current).split())
        if text:
            self.out.append(text)
        self.current = []


def paragraphs_of(pages):
    """The paragraphs of the pages (HTML or Mallard), page by page in the order of their paths."""
    out = []
    for page in sorted(pages):
        parser = Paragraphs()
        parser.feed(page.read_text(encoding="utf-8", errors="replace"))
        parser.flush()
        out += parser.out
    return out


def installation_guide(language):
    guide = pathlib.Path(f"/usr/share/doc/installation-guide-amd64/{language}")
    return paragraphs_of(guide.glob("*.html"))


def debian_history(language):
    path = pathlib.Path(f"/usr/share/doc/debian-history/docs/project-history.{language}.txt.gz")
    try:
        with gzip.open(path, "rt", encoding="utf-8", errors="replace") as f:
            text = f.read()
    except OSError:
        return []
    return [" ".join(p.split()) for p in re.split(r"\n\s*\n", text) if p.strip()]


def unpacked(package):
    """The root of the tree a Debian package is unpacked in, downloaded (not installed) once into
    the cache: help pages nobody needs installed to tune on them."""
    cache = pathlib.Path(os.environ.get("XDG_CACHE_HOME") or pathlib.Path.home() / ".cache")
    root = cache / "litvorot-eval"
    done = root / f"{package}.unpacked"
    if not done.exists():
        debs = root / "debs"
        debs.mkdir(parents=True, exist_ok=True)
        # (apt's warning that it downloads as root, not as _apt, is no news: kept for a failure.)
        got = subprocess.run(["apt-get", "download", "-q", package], cwd=debs,
                             capture_output=True, text=True)
        if got.returncode != 0:
            sys.exit(f"cannot download {package}:\n{got.stderr}")
        for deb in sorted(debs.glob(f"{package}_*.deb")):
            subprocess.run(["dpkg-deb", "-x", str(deb), str(root / "tree")], check=True)
        done.touch()
    return root / "tree"


def help_pages(package, pattern):
    """The paragraphs of the help pages under the package's unpacked tree that match."""
    return paragraphs_of(unpacked(package).glob(pattern))


# More long-form prose to tune on, each with English of its own or of aptitude's manual: GNOME's
# desktop help, aptitude's manual, the Ubuntu packaging guide, Double Commander's help (this one
# full of Latin names: menus, options, file names) and the Debian Administrator's Handbook (partly
# translated: its pages keep the English paragraphs, which give no Russian sample; names of people
# written in Cyrillic). For each, the package and pages of either side.
APTITUDE_EN = ("aptitude-doc-en", "usr/share/doc/aptitude/html/en/*.html")
HELP = {
    "gnome-help": (("gnome-user-docs", "usr/share/help/ru/gnome-help/*.page"),
                   ("gnome-user-docs", "usr/share/help/C/gnome-help/*.page")),
    "aptitude-manual": (("aptitude-doc-ru", "usr/share/doc/aptitude/html/ru/*.html"), APTITUDE_EN),
    "packaging-guide": (("ubuntu-packaging-guide-html-ru",
                         "usr/share/doc/ubuntu-packaging-guide-html-ru/*.html"), APTITUDE_EN),
    "doublecmd-help": (("doublecmd-help-ru", "usr/share/doublecmd/doc/ru/*.html"), APTITUDE_EN),
    "admin-handbook": (("debian-handbook", "usr/share/doc/debian-handbook/html/ru-RU/*.html"),
                       ("debian-handbook", "usr/share/doc/debian-handbook/html/en-US/*.html")),
}

CORPORA = {
    "catalogues": lambda: (messages("ru"), messages("uk")[0], TOKEN_RU, TOKEN_EN),
    "prose": lambda: ((installation_guide("ru"), installation_guide("en")), [],
                      TOKEN_RU_PROSE, TOKEN_EN_PROSE),
    "held-out": lambda: ((debian_history("ru"), debian_history("en")), [],
                         TOKEN_RU_PROSE, TOKEN_EN_PROSE),
}
DEFAULT_CORPORA = list(CORPORA)
CORPORA.update({
    name: lambda ru=ru, en=en: ((help_pages(*ru), help_pages(*en)), [], TOKEN_RU_PROSE, TOKEN_EN_PROSE)
    for name, (ru, en) in HELP.items()
})


def samples(texts, token, length, count, rng, accept=None):
    """Runs of `length` words, one of each text at most, whose words all match `token` (or that
    `accept` takes)."""
    accept = accept or (lambda run: all(token.match(w) for w in run))
    low, high = length
    runs = []
    for text in texts:
        words = text.split()
        k = rng.randint(low, high)
        for start in range(0, max(0, len(words) - k + 1)):
            run = words[start:start + k]
            if accept(run):
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


def mixed_run(run):
    """A run of words of a Russian text as they stand with a Cyrillic word and a Latin one: what a
    Russian text quotes from programs («%s», «-K», «PEM», «Git»)."""
    return any(LATIN.search(w) for w in run) and any(CYRILLIC.search(w) for w in run)


def convert(converter, frm, to, text):
    result = subprocess.run([converter, "--from", frm, "--to", to], input=text.encode("utf-8"),
                            capture_output=True, check=True)
    return result.stdout.decode("utf-8")


def chardet_recovers(garbled, original):
    import chardet
    best = None
    for codepage in ("cp1251", "koi8_r", "cp1252", "latin-1", "cp866", "cp437"):
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


def garbled_jobs(converter, name, garble, texts, column, rng):
    """(row, column, input, expected, original) of each text garbled by `garble`."""
    jobs = []
    if garble == "look-alikes":
        garble = look_alikes(LOOK_ALIKES, rng)
    for text in texts:
        if garble is None:
            garbled = convert(converter, "unicode", "translit", text)
            expected = convert(converter, "translit", "unicode", garbled)
        else:
            try:
                garbled = garble(text)
            except UnicodeError:
                continue  # the text has a character the code page lacks
            expected = text
        jobs.append((name, column, garbled, expected, text))
    return jobs


def partial_jobs(converter, texts, column, rng):
    """A good run and a garbled one, on two lines or in one, either first."""
    jobs = []
    pairs = list(zip(texts[0::2], texts[1::2]))
    names = list(RUSSIAN_GARBLES)
    for good, bad in pairs:
        for row, separator in (("partly garbled, by lines", "\n"),
                               ("partly garbled, in a line", " ")):
            for _ in range(10):
                name = rng.choice(names)
                made = garbled_jobs(converter, name, RUSSIAN_GARBLES[name], [bad], column, rng)
                if made:
                    break
            if not made:
                continue
            _, _, garbled, expected, _ = made[0]
            if rng.random() < 0.5:
                given, want = good + separator + garbled, good + separator + expected
            else:
                given, want = garbled + separator + good, expected + separator + good
            jobs.append((row, column, given, want, name))
    return jobs


def measure(args, corpus, have_chardet):
    converter, count = args.converter, args.count
    rng = random.Random(args.seed)  # the samples, drawn as they always were
    other = random.Random(args.seed + 1)  # everything else
    mixed = random.Random(args.seed + 2)  # Russian texts with their Latin words
    (ru_texts, en_texts), uk_texts, token_ru, token_en = CORPORA[corpus]()
    jobs = []  # (row, column, input, expected, original)
    for column, length in LENGTHS.items():
        ru = samples(ru_texts, token_ru, length, count, rng)
        en = samples(en_texts, token_en, length, count, rng)
        for text in ru:
            if not MIXED_WORD.search(text):
                jobs.append(("good Russian (left alone)", column, text, text, text))
        for text in en:
            if not MIXED_WORD.search(text):
                jobs.append(("good English (left alone)", column, text, text, text))
            jobs.append(("English on the Russian layout", column, text.translate(TO_RU), text, text))
        jobs += garbled_jobs(converter, "Cyrillic look-alikes in English words",
                             look_alikes(LOOK_ALIKES_BACK, other), en, column, other)
        for name, garble in RUSSIAN_GARBLES.items():
            jobs += garbled_jobs(converter, name, garble, ru, column, other)
        if uk_texts:
            # Ukrainian texts with a letter Russian lacks (the others read as KOI8-R).
            uk = [t for t in samples(uk_texts, TOKEN_UK, length, 4 * count, other)
                  if re.search("[ҐЄІЇґєії]", t)][:count]
            for text in uk:
                if not MIXED_WORD.search(text):
                    jobs.append(("good Ukrainian (left alone)", column, text, text, text))
            for name, garble in UKRAINIAN_GARBLES.items():
                jobs += garbled_jobs(converter, name, garble, uk, column, other)
        more = samples(ru_texts, token_ru, length, 2 * count, other)
        jobs += partial_jobs(converter, more, column, other)
        if length[0] > 1:
            # Its own draw, so that the other rows' samples stay as they were.
            for text in samples(ru_texts, None, length, count, mixed, mixed_run):
                if not MIXED_WORD.search(text):
                    jobs.append(("good Russian with Latin words (left alone)", column, text, text,
                                 text))

    def run(job):
        row, column, given, expected, original = job
        got = convert(converter, "auto", "unicode", given)
        detector = chardet_recovers(given, original) if have_chardet and row in BYTE_GARBLES else None
        if got != expected and args.failures is not None and args.failures in row:
            print(f"{corpus} | {row} | {column} | given {given!r} | got {got!r} | expected {expected!r}",
                  file=sys.stderr)
        return row, column, got == expected, detector

    results = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for row, column, ok, detector in pool.map(run, jobs):
            cell = results.setdefault((row, column), [0, 0, 0])
            cell[0] += ok
            cell[1] += 1
            cell[2] += bool(detector)

    print(f"### {corpus} (seed {args.seed})")
    print()
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
            kind = "left alone" if "left alone" in row else "partly garbled" if "partly" in row else "recovered"
            group = (kind, "single" if column == "1 word" else "multi")
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
    print()


def main():
    parser = argparse.ArgumentParser(description="Measures litvorot-convert --from auto.")
    parser.add_argument("converter")
    parser.add_argument("count", nargs="?", type=int, default=200)
    parser.add_argument("--seed", type=int, default=14)
    parser.add_argument("--corpus", choices=list(CORPORA), action="append")
    parser.add_argument("--failures", nargs="?", const="", default=None, metavar="ROW")
    args = parser.parse_args()
    try:
        import chardet  # noqa: F401
        have_chardet = True
    except ImportError:
        have_chardet = False
    for corpus in args.corpus or DEFAULT_CORPORA:
        measure(args, corpus, have_chardet)


if __name__ == "__main__":
    main()
