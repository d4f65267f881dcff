#!/usr/bin/env bash
# regenerates.sh PYTHON SCRIPT CHECKED_IN INPUT...: the checked-in generated file is exactly what
# its script writes from the installed inputs (the letter model from hunspell-ru, wamerican,
# hunspell-uk and Tesseract's Russian word list, the code pages from the C library's character
# maps in locales); skipped (77) without them.
set -euo pipefail
python=$1 script=$2 checked_in=$3
shift 3
for f in "$@"; do
    [ -r "$f" ] || { echo "missing $f: skipped"; exit 77; }
done
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$python" "$script" "$out"
cmp "$out" "$checked_in"
echo "$(basename "$checked_in") regenerates byte for byte"
