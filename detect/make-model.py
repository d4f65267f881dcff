#!/usr/bin/env python3
"""Generates detect/modLanguageModel.cpp, the letter trigram model of Russian and English that the
automatic source scores its readings with.

Sources (Debian packages):
  - Russian: hunspell-ru, /usr/share/hunspell/ru_RU.dic with its suffix rules ru_RU.aff; every
    stem is expanded with its suffixes, so the model knows the inflected forms.
  - English: wamerican, /usr/share/dict/american-english.
  - Ukrainian, for the word list alone: hunspell-uk, /usr/share/hunspell/uk_UA.dic and uk_UA.aff,
    its words of one and two letters that have a letter Russian lacks («і», «є», «ці»).
  - Russian, for the word list alone: tesseract-ocr-rus, the word list of rus.traineddata (read
    with combine_tessdata and dawg2wordlist of tesseract-ocr), words as the web writes them: the
    names of people and places that a dictionary lacks («Ульрих», «Сэмюэл»), newer words.

Each distinct word (lower case, letters only; hyphenated words count as their parts) counts once.
The model gives, for every pair of letters before (the word boundary counts as a letter), the cost
in eighths of a bit of each next letter or of the word's end: -log2 P * 8, rounded, at most 255.
Probabilities are trigram counts interpolated with bigram and unigram estimates (fixed weights),
so that no letter sequence has probability zero.

Beside it, the lexicon: every word of both lists of three letters or more, and the shorter ones
that the lists write in lower case (their capitalised ones are symbols and names: «Na», «Po»),
of two letters with a vowel (abbreviations have none: «кг», «ft»), of one letter the vowels alone
where a list has every letter (wamerican), and Tesseract's words of five letters or more, in a
Bloom filter, so that a reading which gives real words is told from one which only gives likely
letters (ё is kept as е).

Usage: detect/make-model.py [OUTPUT]   (default: the file beside this script)
The output depends only on the word lists: running it again gives the same bytes.
"""

import math
import re
import subprocess
import sys
import tempfile
from collections import Counter
from pathlib import Path

RU_DIC = Path("/usr/share/hunspell/ru_RU.dic")
RU_AFF = Path("/usr/share/hunspell/ru_RU.aff")
UK_DIC = Path("/usr/share/hunspell/uk_UA.dic")
UK_AFF = Path("/usr/share/hunspell/uk_UA.aff")
EN_WORDS = Path("/usr/share/dict/american-english")
# Tesseract's word list of Russian, of words as written on the web, names among them.
RU_TESSDATA = Path("/usr/share/tesseract-ocr/5/tessdata/rus.traineddata")

RU_ALPHABET = "абвгдеёжзийклмнопрстуфхцчшщъыьэюя"
EN_ALPHABET = "abcdefghijklmnopqrstuvwxyz"
RU_VOWELS = "аеёиоуыэюя"
# The letters of Ukrainian and Belarusian that Russian lacks: the word list numbers them after the
# Russian ones.
NEIGHBOUR_LETTERS = "іїєґў"
EN_VOWELS = "aeiouy"

# Interpolation weights of the trigram, bigram and unigram estimates, and the add-k of each.
WEIGHTS = (0.80, 0.17, 0.03)
ADD_K = 0.1


def read_affixes(path):
    """Suffix rules: flag -> list of (strip, add, condition regex)."""
    rules = {}
    for line in path.read_text(encoding="utf-8").splitlines():
        parts = line.split()
        if len(parts) < 5 or parts[0] != "SFX":
            continue
        flag, strip, add, condition = parts[1], parts[2], parts[3], parts[4]
        strip = "" if strip == "0" else strip
        add = "" if add == "0" else add.split("/")[0]
        rules.setdefault(flag, []).append((strip, add, re.compile("(?:" + condition + ")$")))
    return rules


def hunspell_words(dic, aff, longest=None):
    """Every stem of `dic` with its suffixes of `aff`; with `longest`, only the words that long or
    shorter."""
    rules = read_affixes(aff)
    words = set()
    lines = dic.read_text(encoding="utf-8").splitlines()[1:]
    for line in lines:
        stem, _, flags = line.strip().partition("/")
        if not stem:
            continue
        if longest is None or len(stem) <= longest:
            words.add(stem)
        for flag in flags:
            for strip, add, condition in rules.get(flag, ()):
                if longest is not None and len(stem) - len(strip) + len(add) > longest:
                    continue
                if condition.search(stem) and stem.endswith(strip):
                    words.add(stem[: len(stem) - len(strip)] + add)
    return words


def russian_words():
    return hunspell_words(RU_DIC, RU_AFF)


# The shortest word of Tesseract's list the lexicon takes: its shorter ones are as often pieces of
# words and prefixes («сли», «нано») as words, which a garbled text makes easily.
ATTESTED_SHORTEST = 5


def attested_words():
    """The words of Tesseract's Russian word list (tesseract-ocr-rus, unpacked by tesseract-ocr's
    combine_tessdata and dawg2wordlist) that it writes in small letters or with a capital first:
    besides the dictionary's words, the names of people and places that Russian text writes, and
    words newer than the dictionary. Its words in capitals alone are abbreviations."""
    with tempfile.TemporaryDirectory() as scratch:
        prefix = str(Path(scratch) / "rus.")
        subprocess.run(["combine_tessdata", "-u", str(RU_TESSDATA), prefix], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        listed = Path(scratch) / "words"
        subprocess.run(["dawg2wordlist", prefix + "lstm-unicharset", prefix + "lstm-word-dawg",
                        str(listed)], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        words = listed.read_text(encoding="utf-8").split()
    return {word for word in words if not (len(word) > 1 and word.isupper())}


def ukrainian_words():
    """Ukrainian words of one and two letters with a letter Russian lacks («і», «є», «ці»), which
    tell KOI8-U from KOI8-R by the commonest words: written in lower case, of Ukrainian letters."""
    letters = set(RU_ALPHABET) - set("ёъыэ") | set("іїєґ")
    return sorted({part for word in hunspell_words(UK_DIC, UK_AFF, 2) for part in word.split("-")
                   if part and all(c in letters for c in part)
                   and any(c in NEIGHBOUR_LETTERS for c in part)})


def english_words():
    return set(EN_WORDS.read_text(encoding="utf-8").split())


def clean(words, alphabet):
    """Lower-case words of the alphabet alone; hyphens split a word into its parts."""
    letters = set(alphabet)
    out = set()
    for word in words:
        for part in word.lower().split("-"):
            if part and all(c in letters for c in part):
                out.add(part)
    return sorted(out)


def model(words, alphabet):
    """The cost table: [a][b][c] for letters 1..n (0 = boundary), flattened."""
    n = len(alphabet) + 1
    index = {c: i + 1 for i, c in enumerate(alphabet)}
    tri, bi, uni = Counter(), Counter(), Counter()
    for word in words:
        symbols = [0, 0] + [index[c] for c in word] + [0]
        for i in range(2, len(symbols)):
            a, b, c = symbols[i - 2], symbols[i - 1], symbols[i]
            tri[a, b, c] += 1
            bi[b, c] += 1
            uni[c] += 1
    tri_ctx, bi_ctx = Counter(), Counter()
    for (a, b, _), count in tri.items():
        tri_ctx[a, b] += count
    for (b, _), count in bi.items():
        bi_ctx[b] += count
    total = sum(uni.values())

    table = bytearray()
    for a in range(n):
        for b in range(n):
            for c in range(n):
                # After the boundary only the boundary itself continues a word's start: (x, 0, c)
                # with x != 0 never happens in a word and is given the plain estimate.
                p_uni = (uni[c] + ADD_K) / (total + ADD_K * n)
                p_bi = (bi[b, c] + ADD_K * n * p_uni) / (bi_ctx[b] + ADD_K * n)
                p_tri = (tri[a, b, c] + ADD_K * n * p_bi) / (tri_ctx[a, b] + ADD_K * n)
                p = WEIGHTS[0] * p_tri + WEIGHTS[1] * p_bi + WEIGHTS[2] * p_uni
                if b == 0 and c == 0:
                    p = 1e-9  # an empty word: never scored
                table.append(min(255, round(-math.log2(p) * 8)))
    return table


# The lexicon: a Bloom filter of 2^LEXICON_LOG2 bits and LEXICON_HASHES probes per word.
LEXICON_LOG2 = 25
LEXICON_HASHES = 8
MASK64 = (1 << 64) - 1
# Russian letters (model numbers) as the lexicon keeps them: ё as е.
RU_FOLD = {7: (6,)}


def word_hash(script, numbers):
    """FNV-1a over the script (1 Russian, 2 English; 3 for the web's words the dictionary lacks,
    kept apart) and the letters' numbers, then mixed."""
    h = 0xCBF29CE484222325
    for byte in [script] + numbers:
        h = ((h ^ byte) * 0x100000001B3) & MASK64
    h ^= h >> 33
    h = (h * 0xFF51AFD7ED558CCD) & MASK64
    h ^= h >> 33
    h = (h * 0xC4CEB9FE1A85EC53) & MASK64
    h ^= h >> 33
    return h


def lexicon_words(words, cleaned, alphabet, vowels):
    """The words of three letters or more, and the shorter ones that the list writes in lower case:
    of two letters those with a vowel (those without are abbreviations: «кг», «св», «ft»), of one
    letter all, but where the list has every letter (wamerican does, hunspell-ru has «а в и к о с
    у я») only the vowels («a», «i»)."""
    letters = set(alphabet)
    short = {part for word in words for part in word.split("-")
             if 0 < len(part) < 3 and all(c in letters for c in part)
             and (len(part) == 1 or any(c in vowels for c in part))}
    if sum(len(word) == 1 for word in short) == len(alphabet):
        short = {word for word in short if len(word) > 1 or word in vowels}
    return sorted(short) + [word for word in cleaned if len(word) >= 3]


def lexicon(ru, en):
    bits = bytearray(1 << (LEXICON_LOG2 - 3))
    ru_index = {c: i + 1 for i, c in enumerate(RU_ALPHABET)}
    ru_index.update({c: len(RU_ALPHABET) + 1 + i for i, c in enumerate(NEIGHBOUR_LETTERS)})
    en_index = {c: i + 1 for i, c in enumerate(EN_ALPHABET)}
    keys = set()
    for word in ru:
        numbers = []
        for c in word:
            numbers.extend(RU_FOLD.get(ru_index[c], (ru_index[c],)))
        keys.add(word_hash(1, numbers))
    for word in en:
        keys.add(word_hash(2, [en_index[c] for c in word]))
    # Blocked: a word's probes all fall in one block of 512 bits (a cache line), the block chosen
    # by the hash's top bits, the bits in it by its low and middle ones.
    for h in sorted(keys):
        block = (h >> (64 - (LEXICON_LOG2 - 9))) << 9
        h1, h2 = h & 0xFFFFFFFF, ((h >> 32) & 0xFFFF) | 1
        for i in range(LEXICON_HASHES):
            bit = block + ((h1 + i * h2) & 511)
            bits[bit >> 3] |= 1 << (bit & 7)
    words = [int.from_bytes(bits[i:i + 8], "little") for i in range(0, len(bits), 8)]
    lines = [f"// {len(keys)} words; {1 << LEXICON_LOG2} bits, {LEXICON_HASHES} probes a word.",
             f"alignas(64) const std::uint64_t kLexicon[{len(words)}] = {{"]
    for i in range(0, len(words), 6):
        lines.append("    " + ",".join(f"0x{w:016x}" for w in words[i:i + 6]) + ",")
    lines.append("};")
    return "\n".join(lines)


def web_only(words):
    """The hashes (script 3) of the web's words that the dictionary lacks, sorted: looked up
    exactly, so that no word of the dictionary is ever taken for one of them."""
    index = {c: i + 1 for i, c in enumerate(RU_ALPHABET)}
    keys = sorted({word_hash(3, [index[c] for c in word.replace("ё", "е")]) for word in words})
    lines = [f"// {len(keys)} words of the web's list alone.",
             f"const std::uint64_t kWebOnly[{len(keys)}] = {{"]
    for i in range(0, len(keys), 6):
        lines.append("    " + ",".join(f"0x{k:016x}" for k in keys[i:i + 6]) + ",")
    lines.append("};")
    lines.append(f"const std::size_t kWebOnlyCount = {len(keys)};")
    return "\n".join(lines)


def emit(name, table, n):
    lines = [f"// [{n}][{n}][{n}]: letters before, letter; 0 is the word boundary.",
             f"const std::uint8_t {name}[{n * n * n}] = {{"]
    for i in range(0, len(table), 24):
        lines.append("    " + ",".join(str(v) for v in table[i:i + 24]) + ",")
    lines.append("};")
    return "\n".join(lines)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("modLanguageModel.cpp")
    ru_words, en_words, uk_words = russian_words(), english_words(), ukrainian_words()
    ru = clean(ru_words, RU_ALPHABET)
    en = clean(en_words, EN_ALPHABET)
    attested = [word for word in clean(attested_words(), RU_ALPHABET)
                if len(word) >= ATTESTED_SHORTEST]
    text = "\n".join([
        "// Generated by detect/make-model.py from the word lists of the Debian packages hunspell-ru",
        f"// (ru_RU.dic and ru_RU.aff, {len(ru)} words), wamerican (american-english, {len(en)}",
        f"// words), hunspell-uk (uk_UA.dic and uk_UA.aff: {len(uk_words)} short words) and, for the lexicon,",
        f"// tesseract-ocr-rus (rus.traineddata: {len(attested)} words). Do not edit: run the script again.",
        '#include "detect/modLanguageModel.h"',
        "",
        "namespace litvorot::model {",
        "",
        "// clang-format off",
        emit("kRussian", model(ru, RU_ALPHABET), len(RU_ALPHABET) + 1),
        "",
        emit("kEnglish", model(en, EN_ALPHABET), len(EN_ALPHABET) + 1),
        "",
        lexicon(lexicon_words(ru_words, ru, RU_ALPHABET, RU_VOWELS) + uk_words + attested,
                lexicon_words(en_words, en, EN_ALPHABET, EN_VOWELS)),
        "",
        web_only(set(attested) - set(ru)),
        "// clang-format on",
        "",
        "}  // namespace litvorot::model",
        "",
    ])
    out.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main()
