#!/usr/bin/python3
"""Checks the automatic source (litvorot-convert --from auto) on texts outside every corpus of
evaluate.py, whole as a user copies them rather than as runs of words:

  - catalogues: messages of Debian's other Russian catalogues (every .mo file of
    /usr/share/locale/ru/LC_MESSAGES but the eight evaluate.py measures), given as they are;
  - fortunes: whole Russian fortunes (fortunes-ru, /usr/share/games/fortunes/ru) and English ones
    (fortunes-min), given as they are (Russian ones with a word of both scripts left out: the
    collection has texts typed with look-alike letters, which the automatic source rightly
    repairs);
  - garbled: whole Russian fortunes without Latin letters, garbled every way evaluate.py garbles.

Prints each text that did not come out right (given, got) and a count. Nothing here is a target:
it tells whether what was tuned on the corpora holds on other texts.

Usage: tests/eval/outside.py CONVERTER [catalogues|fortunes|garbled] [--count N] [--seed N]
"""

import argparse
import concurrent.futures
import gettext
import pathlib
import random
import re
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import evaluate  # noqa: E402


def other_catalogues():
    out = []
    for mo in sorted(pathlib.Path(evaluate.LOCALE_DIR).glob("*.mo")):
        if mo.stem in evaluate.PACKAGES:
            continue
        try:
            with open(mo, "rb") as f:
                catalog = gettext.GNUTranslations(f)._catalog
        except (OSError, UnicodeDecodeError):
            continue
        out += [v for k, v in catalog.items() if k and isinstance(v, str) and v]
    return sorted(set(out))


def fortunes(directory):
    out = []
    for path in sorted(pathlib.Path(directory).glob("*")):
        if path.suffix == ".dat" or path.is_symlink() or path.is_dir():
            continue
        try:
            text = path.read_text(encoding="utf-8")
        except UnicodeDecodeError:
            continue
        out += [p.strip("\n") for p in text.split("\n%\n") if p.strip()]
    return sorted(set(out))


def main():
    parser = argparse.ArgumentParser(description="Checks --from auto on texts outside the corpora.")
    parser.add_argument("converter")
    parser.add_argument("check", nargs="?", choices=["catalogues", "fortunes", "garbled"],
                        default="catalogues")
    parser.add_argument("--count", type=int, default=None)
    parser.add_argument("--seed", type=int, default=3)
    args = parser.parse_args()
    rng = random.Random(args.seed)

    jobs = []  # (kind, given, expected)
    if args.check == "catalogues":
        texts = other_catalogues()
        rng.shuffle(texts)
        jobs = [("left alone", t, t) for t in texts[:args.count or 5000]]
    elif args.check == "fortunes":
        ru = [t for t in fortunes("/usr/share/games/fortunes/ru")
              if not evaluate.MIXED_WORD.search(t)]
        en = fortunes("/usr/share/games/fortunes")
        rng.shuffle(ru)
        jobs = [("Russian left alone", t, t) for t in ru[:args.count or 3000]]
        jobs += [("English left alone", t, t) for t in en[:args.count or len(en)]]
    else:
        texts = [t for t in fortunes("/usr/share/games/fortunes/ru")
                 if not re.search("[A-Za-z]", t)]
        rng.shuffle(texts)
        texts = texts[:args.count or 150]
        for name, garble in evaluate.RUSSIAN_GARBLES.items():
            if garble == "look-alikes":
                garble = evaluate.look_alikes(evaluate.LOOK_ALIKES, rng)
            for text in texts:
                if garble is None:
                    given = evaluate.convert(args.converter, "unicode", "translit", text)
                    back = evaluate.convert(args.converter, "translit", "unicode", given)
                    jobs.append((name, given, back))
                    continue
                try:
                    jobs.append((name, garble(text), text))
                except UnicodeError:
                    pass

    def run(job):
        kind, given, expected = job
        return kind, given, evaluate.convert(args.converter, "auto", "unicode", given), expected

    counts = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for kind, given, got, expected in pool.map(run, jobs):
            cell = counts.setdefault(kind, [0, 0])
            cell[0] += got == expected
            cell[1] += 1
            if got != expected:
                print(f"{kind} | given {given!r} | got {got!r}")
    for kind, (ok, n) in counts.items():
        print(f"{kind}: {ok} of {n} right")


if __name__ == "__main__":
    main()
