#!/usr/bin/env bash
# model_regenerates.sh PYTHON DETECT_DIR: the checked-in letter model is exactly what make-model.py
# writes from the installed word lists (hunspell-ru, wamerican); skipped (77) without them.
set -euo pipefail
python=$1 dir=$2
for f in /usr/share/hunspell/ru_RU.dic /usr/share/hunspell/ru_RU.aff /usr/share/dict/american-english; do
    [ -r "$f" ] || { echo "missing $f (hunspell-ru, wamerican): skipped"; exit 77; }
done
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$python" "$dir/make-model.py" "$out"
cmp "$out" "$dir/modLanguageModel.cpp"
echo "the letter model regenerates byte for byte"
